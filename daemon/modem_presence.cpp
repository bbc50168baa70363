#include "daemon/modem_presence.h"

#include "daemon/log.h"

namespace vant::daemon {
namespace {

// The transitions the daemon makes, each from the states it may come from.
bool allowed(ModemState from, ModemState to) {
  using S = ModemState;
  switch (to) {
    case S::no_link:
      return true;
    case S::opening:
      return from == S::no_link;
    case S::syncing:
      return from == S::opening;
    case S::silent:
      return from == S::syncing || from == S::silent;
    case S::identifying:
      return from == S::syncing || from == S::silent;
    case S::present:
      return from == S::identifying;
  }
  return false;
}

}  // namespace

const char* state_name(ModemState state) {
  switch (state) {
    case ModemState::no_link:
      return "no link";
    case ModemState::opening:
      return "opening";
    case ModemState::syncing:
      return "syncing";
    case ModemState::silent:
      return "silent";
    case ModemState::identifying:
      return "identifying";
    case ModemState::present:
      return "present";
  }
  return "?";
}

DevicePresence ModemPresence::device_presence() const {
  switch (state_) {
    case ModemState::opening:
    case ModemState::syncing:
    case ModemState::identifying:
      return DevicePresence::identifying;
    case ModemState::present:
      return DevicePresence::present;
    case ModemState::no_link:
    case ModemState::silent:
      return DevicePresence::absent;
  }
  return DevicePresence::absent;
}

bool ModemPresence::enter(ModemState next) {
  const bool was_present = present();
  if (!allowed(state_, next)) {
    // A transition out of turn is a fault of ours; the state stays as it
    // was rather than become one the rest of the daemon does not expect.
    VANT_LOG_ERROR("modem state: no way from %s to %s", state_name(state_), state_name(next));
    return false;
  }
  if (next != state_) VANT_LOG_DEBUG("modem %s -> %s", state_name(state_), state_name(next));
  state_ = next;
  return was_present && !present();
}

void ModemPresence::link_opened() {
  enter(ModemState::opening);
}

void ModemPresence::transport_ready() {
  enter(ModemState::syncing);
}

void ModemPresence::session_ready() {
  enter(ModemState::identifying);
}

void ModemPresence::sync_unanswered() {
  enter(ModemState::silent);
}

void ModemPresence::identified() {
  enter(ModemState::present);
}

bool ModemPresence::link_lost() {
  return enter(ModemState::no_link);
}

}  // namespace vant::daemon
