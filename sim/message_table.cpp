#include "sim/services.h"

namespace vant::sim {
namespace {

constexpr MessageEntry kMessages[] = {
    {kServiceCtl, 0x0021, "ctl.get_version_info", ctl_get_version_info},
    {kServiceCtl, 0x0022, "ctl.allocate_client_id", ctl_allocate_client_id},
    {kServiceCtl, 0x0023, "ctl.release_client_id", ctl_release_client_id},
    {kServiceCtl, 0x0027, "ctl.sync", ctl_sync},
    {kServiceWds, 0x0102, "wds.query_data_instance", wds_query_data_instance},
    {kServiceDms, 0x0021, "dms.get_manufacturer", dms_get_manufacturer},
    {kServiceDms, 0x0022, "dms.get_model", dms_get_model},
    {kServiceDms, 0x0023, "dms.get_revision", dms_get_revision},
    {kServiceDms, 0x0025, "dms.get_ids", dms_get_ids},
    {kServiceDms, 0x0045, "dms.get_band_capabilities", dms_get_band_capabilities},
    {kServiceNas, 0x0021, "nas.network_scan", nas_network_scan},
    {kServiceNas, 0x0022, "nas.register_network", nas_register_network},
    {kServiceNas, 0x0031, "nas.get_rf_band_information", nas_get_rf_band_information},
    {kServiceNas, 0x0033, "nas.set_system_selection_preference",
     nas_set_system_selection_preference},
    {kServiceNas, 0x0034, "nas.get_system_selection_preference",
     nas_get_system_selection_preference},
    {kServiceNas, 0x0043, "nas.cell_location_info", nas_cell_location_info},
    {kServiceNas, 0x004F, "nas.get_signal_info", nas_get_signal_info},
    {kServiceNas, 0x5568, "nas.get_channel_lock", nas_get_channel_lock},
    {kServiceNas, 0x5569, "nas.set_channel_lock", nas_set_channel_lock},
};

}  // namespace

std::span<const MessageEntry> message_table() {
  return kMessages;
}

const MessageEntry* find_message(uint8_t service, uint16_t message_id) {
  for (const auto& m : kMessages) {
    if (m.service == service && m.message_id == message_id) return &m;
  }
  return nullptr;
}

bool is_message_name(std::string_view name) {
  if (name == kEveryMessage) return true;
  for (const auto& m : kMessages) {
    if (m.name == name) return true;
  }
  return false;
}

}  // namespace vant::sim
