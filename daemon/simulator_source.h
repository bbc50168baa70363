// The modem emulator inside the daemon's own process: each open() hands out
// the host's end of a fresh socketpair that an emulator thread serves. The
// emulated modem keeps its state across opens, and its scenario may make it
// disappear and come back, which the daemon sees as on a real device.
#pragma once

#include <memory>
#include <string>

#include "daemon/modem_link.h"
#include "sim/emulator.h"
#include "sim/in_process_link.h"

namespace vant::daemon {

class SimulatorSource final : public LinkSource {
 public:
  // mbim: the emulated modem speaks MBIM rather than QMUX.
  explicit SimulatorSource(sim::Scenario scenario, bool mbim = false);
  ~SimulatorSource() override;

  std::unique_ptr<ModemLink> open(std::string& why) override;
  std::string describe() const override;

 private:
  std::string name_;
  sim::Emulator emulator_;
  sim::InProcessLink link_;  // after emulator_: stops and joins before it goes
  LinkProtocol protocol_;
};

}  // namespace vant::daemon
