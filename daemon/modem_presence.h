// Where the modem stands, as one state machine: every change of the
// daemon's view of the modem is one of its transitions, and what clients are
// told (DevicePresence, the state indications) follows from its state.
#pragma once

#include "daemon/device_service.h"

namespace vant::daemon {

enum class ModemState {
  no_link,      // no link open; looked for again every second
  opening,      // the transport's handshake (MBIM OPEN, the proxy's open)
  syncing,      // the control service's Sync is under way
  silent,       // the Sync went unanswered: the modem does not listen yet
  identifying,  // its identity is being read
  present,      // identified: clients may use it
};

const char* state_name(ModemState state);

class ModemPresence {
 public:
  ModemState state() const { return state_; }
  // What the device service tells clients: requests that need the modem's
  // identity wait while it may still come, and fail at once when it cannot.
  DevicePresence device_presence() const;
  bool present() const { return state_ == ModemState::present; }

  // The transitions; a transition out of turn is logged and not made.
  void link_opened();
  void transport_ready();
  void session_ready();
  void sync_unanswered();
  void identified();
  // True when the modem was present: clients must hear that it went away.
  bool link_lost();

 private:
  bool enter(ModemState next);
  ModemState state_ = ModemState::no_link;
};

}  // namespace vant::daemon
