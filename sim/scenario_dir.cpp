// The bundled scenarios travel with the programs: an installed tree keeps them
// in share/vant/scenarios beside bin/ and sbin/, whatever its prefix, and the
// build tree has the same shape (build/share/vant/scenarios points at the
// source folder). So the running program's own location finds them and no
// path of the machine that built it is compiled in.
#include "sim/scenario_dir.h"

#include <unistd.h>

#include <filesystem>

#include "sim/scenario_json.h"

#ifndef VANT_SIM_INSTALLED_SCENARIO_DIR
#define VANT_SIM_INSTALLED_SCENARIO_DIR "/usr/share/vant/scenarios"
#endif

namespace vant::sim {
namespace {

constexpr const char* kFromProgramFolder = "../share/vant/scenarios";

std::string running_program() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace

std::string scenario_dir_beside(const std::string& program_path) {
  const auto slash = program_path.rfind('/');
  if (slash == std::string::npos) return kFromProgramFolder;
  const std::filesystem::path folder = program_path.substr(0, slash + 1) + kFromProgramFolder;
  return folder.lexically_normal().string();
}

std::string bundled_scenario_dir() {
  // Without /proc the tree the package was built for is the best guess.
  const std::string program = running_program();
  if (program.empty()) return VANT_SIM_INSTALLED_SCENARIO_DIR;
  return scenario_dir_beside(program);
}

}  // namespace vant::sim
