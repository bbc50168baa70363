// The router build's daemon: no emulator inside.
#include "daemon/simulation.h"

namespace vant::daemon {

std::unique_ptr<LinkSource> make_simulation_source(const std::string&, bool, std::string& error) {
  error = "this build has no modem emulator, so it cannot simulate one";
  return nullptr;
}

}  // namespace vant::daemon
