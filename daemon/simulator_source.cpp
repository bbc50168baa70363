#include "daemon/simulator_source.h"

#include <cerrno>
#include <cstring>

#include "daemon/fd_link.h"
#include "daemon/simulation.h"
#include "sim/scenario_json.h"

namespace vant::daemon {

SimulatorSource::SimulatorSource(sim::Scenario scenario, bool mbim)
    : name_(scenario.name),
      emulator_(std::move(scenario)),
      link_(emulator_, mbim ? std::optional(sim::MbimSettings{}) : std::nullopt),
      protocol_(mbim ? LinkProtocol::mbim : LinkProtocol::qmux) {}

SimulatorSource::~SimulatorSource() = default;

std::unique_ptr<ModemLink> SimulatorSource::open(std::string& why) {
  UniqueFd fd(link_.open());
  if (!fd.valid()) {
    why = std::string("the emulated modem is absent: ") + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<SocketpairLink>(std::move(fd), "simulated:" + name_, protocol_);
}

std::string SimulatorSource::describe() const {
  return "the built-in emulator (scenario \"" + name_ + "\")";
}

std::unique_ptr<LinkSource> make_simulation_source(const std::string& scenario, bool mbim,
                                                   std::string& error) {
  std::optional<sim::Scenario> loaded = sim::load_scenario_argument(scenario, error);
  if (!loaded) return nullptr;
  return std::make_unique<SimulatorSource>(std::move(*loaded), mbim);
}

}  // namespace vant::daemon
