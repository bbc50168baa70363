#include "tests/e2e/e2e_env.h"

#include <fstream>
#include <sstream>

namespace vant::e2e {

std::vector<std::string> vantctl_command(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {VANT_BIN_DIR "/vantctl", "-s", VANT_BIN_DIR "/vantsdk-sim"});
  return arguments;
}

ProcessResult vantctl(std::vector<std::string> arguments, std::chrono::milliseconds timeout) {
  return test::run_process(vantctl_command(std::move(arguments)), timeout);
}

std::string scenario_file(const std::string& name) {
  return VANT_SOURCE_DIR "/tests/e2e/scenarios/" + name + ".json";
}

std::string scenario_test_name(const std::string& scenario) {
  std::string name;
  for (const char c : scenario) {
    if (c != '-') name += c;
  }
  return name;
}

std::string read_source_file(const std::string& relative_path) {
  std::ifstream in(VANT_SOURCE_DIR "/tests/e2e/" + relative_path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ScenarioModem::ScenarioModem(const std::string& scenario_name)
    : daemon_({VANT_BIN_DIR "/vantsdk", "--simulate=" + scenario_file(scenario_name),
               "--foreground", "0"}) {
  ready_ = daemon_.wait_for_presence(0);
}

}  // namespace vant::e2e
