// Where the scenarios that come with the emulator are found.
#pragma once

#include <string>

namespace vant::sim {

// The bundled scenarios' folder of the tree that holds program_path:
// share/vant/scenarios beside the program's bin/ or sbin/ folder.
std::string scenario_dir_beside(const std::string& program_path);

}  // namespace vant::sim
