// How much longer tests wait for the programs they drive where those run
// slower than natively: VANT_TEST_TIME_SCALE, a whole number that the cross
// builds set, whose programs run under emulation. Waits for something that
// should happen are stretched; what the programs themselves time is not.
#pragma once

#include <chrono>
#include <cstdlib>

namespace vant::test {

inline unsigned time_scale() {
  static const unsigned scale = [] {
    const char* text = std::getenv("VANT_TEST_TIME_SCALE");
    const unsigned long value = text != nullptr ? std::strtoul(text, nullptr, 10) : 1;
    return value >= 1 && value <= 100 ? static_cast<unsigned>(value) : 1u;
  }();
  return scale;
}

inline std::chrono::milliseconds scaled(std::chrono::milliseconds wait) {
  return wait * time_scale();
}

}  // namespace vant::test
