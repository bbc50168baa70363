// The routines that answer each message; message_table.cpp lists them.
#pragma once

#include "sim/messages.h"
#include "sim/modem_state.h"

namespace vant::sim {

// Control service.
Reply ctl_get_version_info(const qmux::Frame& request, ModemState& state);
Reply ctl_allocate_client_id(const qmux::Frame& request, ModemState& state);
Reply ctl_release_client_id(const qmux::Frame& request, ModemState& state);
Reply ctl_sync(const qmux::Frame& request, ModemState& state);

// Packet data.
Reply wds_query_data_instance(const qmux::Frame& request, ModemState& state);

// Device management: the modem's identity.
Reply dms_get_manufacturer(const qmux::Frame& request, ModemState& state);
Reply dms_get_model(const qmux::Frame& request, ModemState& state);
Reply dms_get_revision(const qmux::Frame& request, ModemState& state);
Reply dms_get_ids(const qmux::Frame& request, ModemState& state);
Reply dms_get_band_capabilities(const qmux::Frame& request, ModemState& state);

// Network access.
Reply nas_network_scan(const qmux::Frame& request, ModemState& state);
Reply nas_register_network(const qmux::Frame& request, ModemState& state);
Reply nas_get_rf_band_information(const qmux::Frame& request, ModemState& state);
Reply nas_set_system_selection_preference(const qmux::Frame& request, ModemState& state);
Reply nas_get_system_selection_preference(const qmux::Frame& request, ModemState& state);
Reply nas_cell_location_info(const qmux::Frame& request, ModemState& state);
Reply nas_get_channel_lock(const qmux::Frame& request, ModemState& state);
Reply nas_set_channel_lock(const qmux::Frame& request, ModemState& state);
Reply nas_get_signal_info(const qmux::Frame& request, ModemState& state);

// The answer to a message nobody handles: failure 0x47.
Reply unknown_message(const qmux::Frame& request);

}  // namespace vant::sim
