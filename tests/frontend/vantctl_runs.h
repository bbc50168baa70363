// Running the real vantctl and the daemons it meets.
#pragma once

#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/temp_dir.h"

namespace vant::test {

inline const std::string kVantctl = VANT_BIN_DIR "/vantctl";
inline const std::string kVantsdk = VANT_BIN_DIR "/vantsdk";
inline const std::string kVantsdkSim = VANT_BIN_DIR "/vantsdk-sim";

// Runs vantctl with `arguments` (its own path goes first).
inline ProcessResult vantctl(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), kVantctl);
  return run_process(arguments);
}

// A daemon stand-in that only leaves kMarkerFile in `dir` when something
// executes it.
inline constexpr const char* kMarkerFile = "started";
inline std::string marker_daemon_script(const TempDir& dir) {
  return "#!/bin/sh\ntouch " + dir.path() + "/" + kMarkerFile + "\n";
}

}  // namespace vant::test
