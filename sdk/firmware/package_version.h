// The process-wide package version that FILE images are taken into.
#pragma once

#include <cstdint>
#include <string_view>

namespace vant {

// Takes one FILE image's version into the package version. listed_chipset is
// true for the products "9X40" and "9X28", whose first version is kept whole.
// Stores the state afterwards in *state. False when the package version
// cannot be completed (its error line is then printed on standard output).
bool take_into_package_version(std::string_view version, bool listed_chipset, uint32_t* state);

// Internal, for tests only: forget everything taken in so far, as in a fresh
// process. The library itself never resets the package version.
void reset_package_version_for_testing();

}  // namespace vant
