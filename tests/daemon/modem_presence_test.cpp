#include "daemon/modem_presence.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vant::daemon {
namespace {

using Step = std::function<void(ModemPresence&)>;

const Step kOpen = [](ModemPresence& p) { p.link_opened(); };
const Step kTransportReady = [](ModemPresence& p) { p.transport_ready(); };
const Step kSessionReady = [](ModemPresence& p) { p.session_ready(); };
const Step kSilent = [](ModemPresence& p) { p.sync_unanswered(); };
const Step kIdentified = [](ModemPresence& p) { p.identified(); };

struct Case {
  const char* name;
  std::vector<Step> steps;
  ModemState state;
  DevicePresence told;
};

// Clients wait while the modem may still come, are refused at once while
// it does not listen, and only an identified modem is present; a step out
// of turn leaves the state as it was.
TEST(ModemPresence, EachPathEndsInTheStateClientsAreToldOf) {
  const Case cases[] = {
      {"fresh", {}, ModemState::no_link, DevicePresence::absent},
      {"handshake", {kOpen}, ModemState::opening, DevicePresence::identifying},
      {"sync", {kOpen, kTransportReady}, ModemState::syncing, DevicePresence::identifying},
      {"unanswered", {kOpen, kTransportReady, kSilent}, ModemState::silent, DevicePresence::absent},
      {"answers late",
       {kOpen, kTransportReady, kSilent, kSessionReady},
       ModemState::identifying,
       DevicePresence::identifying},
      {"identified",
       {kOpen, kTransportReady, kSessionReady, kIdentified},
       ModemState::present,
       DevicePresence::present},
      {"identified before its session",
       {kOpen, kIdentified},
       ModemState::opening,
       DevicePresence::identifying},
      {"silent once identified",
       {kOpen, kTransportReady, kSessionReady, kIdentified, kSilent},
       ModemState::present,
       DevicePresence::present},
  };
  for (const auto& c : cases) {
    ModemPresence presence;
    for (const auto& step : c.steps) step(presence);
    EXPECT_EQ(presence.state(), c.state) << c.name;
    EXPECT_EQ(presence.device_presence(), c.told) << c.name;
  }
}

TEST(ModemPresence, OnlyLosingAPresentModemIsAnnounced) {
  ModemPresence presence;
  kOpen(presence);
  kTransportReady(presence);
  EXPECT_FALSE(presence.link_lost());
  for (const auto& step : {kOpen, kTransportReady, kSessionReady, kIdentified}) step(presence);
  EXPECT_TRUE(presence.link_lost());
  EXPECT_EQ(presence.state(), ModemState::no_link);
}

}  // namespace
}  // namespace vant::daemon
