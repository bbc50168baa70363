// Tests under user-mode emulation: VANT_TEST_EMULATED, which the cross builds
// set, says the programs run under qemu, several times slower than natively.
// Tests then wait five times longer for what should happen (what the programs
// themselves time is not stretched), and a test that cannot run there skips
// with its reason.
#pragma once

#include <chrono>
#include <cstdlib>

namespace vant::test {

inline bool under_emulation() {
  return std::getenv("VANT_TEST_EMULATED") != nullptr;
}

inline unsigned time_scale() {
  return under_emulation() ? 5 : 1;
}

inline std::chrono::milliseconds scaled(std::chrono::milliseconds wait) {
  return wait * time_scale();
}

}  // namespace vant::test
