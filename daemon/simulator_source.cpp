#include "daemon/simulator_source.h"

#include <cerrno>
#include <cstring>

#include "daemon/fd_link.h"

namespace vant::daemon {

SimulatorSource::SimulatorSource(sim::Scenario scenario)
    : name_(scenario.name), emulator_(std::move(scenario)), link_(emulator_) {}

SimulatorSource::~SimulatorSource() = default;

std::unique_ptr<ModemLink> SimulatorSource::open(std::string& why) {
  UniqueFd fd(link_.open());
  if (!fd.valid()) {
    why = std::string("the emulated modem is absent: ") + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<SocketpairLink>(std::move(fd), "simulated:" + name_);
}

std::string SimulatorSource::describe() const {
  return "the built-in emulator (scenario \"" + name_ + "\")";
}

}  // namespace vant::daemon
