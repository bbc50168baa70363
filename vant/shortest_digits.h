// The shortest decimal digits of a double that read back as it, by Grisu2
// (Loitsch, "Printing floating-point numbers quickly and accurately with
// integers", 2010) with the parameters of the JSON library vant used before,
// so that its documents keep every digit they had: value = digits *
// 10^exponent. Nearly always the shortest such digits; where not, still
// exact when read back.
#pragma once

#include <cstdint>

namespace vant::cli {

// For a finite value > 0; `digits` takes up to 17. Returns their number.
int shortest_digits(double value, char* digits, int* exponent);

}  // namespace vant::cli
