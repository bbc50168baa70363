#include "vant/shortest_digits.h"

#include <bit>
#include <cstring>

namespace vant::cli {
namespace {

// A number f * 2^e.
struct Binary {
  uint64_t f;
  int e;
};

// The upper 64 bits of the 128-bit product, rounded half up, from 32-bit
// halves (32-bit targets have no 128-bit integers).
Binary times(Binary x, Binary y) {
  const uint64_t x_low = x.f & 0xFFFFFFFFu, x_high = x.f >> 32;
  const uint64_t y_low = y.f & 0xFFFFFFFFu, y_high = y.f >> 32;
  const uint64_t low_low = x_low * y_low, low_high = x_low * y_high;
  const uint64_t high_low = x_high * y_low, high_high = x_high * y_high;
  uint64_t middle = (low_low >> 32) + (low_high & 0xFFFFFFFFu) + (high_low & 0xFFFFFFFFu);
  middle += uint64_t{1} << 31;
  return {high_high + (high_low >> 32) + (low_high >> 32) + (middle >> 32), x.e + y.e + 64};
}

Binary normalized(Binary x) {
  const int shift = std::countl_zero(x.f);
  return {x.f << shift, x.e - shift};
}

// The powers 10^k for k = -300, -292, ..., 324 as 64-bit significands
// (rounded to nearest) and binary exponents.
constexpr int kFirstPower = -300, kPowerStep = 8;
constexpr uint64_t kPowerSignificands[] = {
    0xAB70FE17C79AC6CA, 0xFF77B1FCBEBCDC4F, 0xBE5691EF416BD60C, 0x8DD01FAD907FFC3C,
    0xD3515C2831559A83, 0x9D71AC8FADA6C9B5, 0xEA9C227723EE8BCB, 0xAECC49914078536D,
    0x823C12795DB6CE57, 0xC21094364DFB5637, 0x9096EA6F3848984F, 0xD77485CB25823AC7,
    0xA086CFCD97BF97F4, 0xEF340A98172AACE5, 0xB23867FB2A35B28E, 0x84C8D4DFD2C63F3B,
    0xC5DD44271AD3CDBA, 0x936B9FCEBB25C996, 0xDBAC6C247D62A584, 0xA3AB66580D5FDAF6,
    0xF3E2F893DEC3F126, 0xB5B5ADA8AAFF80B8, 0x87625F056C7C4A8B, 0xC9BCFF6034C13053,
    0x964E858C91BA2655, 0xDFF9772470297EBD, 0xA6DFBD9FB8E5B88F, 0xF8A95FCF88747D94,
    0xB94470938FA89BCF, 0x8A08F0F8BF0F156B, 0xCDB02555653131B6, 0x993FE2C6D07B7FAC,
    0xE45C10C42A2B3B06, 0xAA242499697392D3, 0xFD87B5F28300CA0E, 0xBCE5086492111AEB,
    0x8CBCCC096F5088CC, 0xD1B71758E219652C, 0x9C40000000000000, 0xE8D4A51000000000,
    0xAD78EBC5AC620000, 0x813F3978F8940984, 0xC097CE7BC90715B3, 0x8F7E32CE7BEA5C70,
    0xD5D238A4ABE98068, 0x9F4F2726179A2245, 0xED63A231D4C4FB27, 0xB0DE65388CC8ADA8,
    0x83C7088E1AAB65DB, 0xC45D1DF942711D9A, 0x924D692CA61BE758, 0xDA01EE641A708DEA,
    0xA26DA3999AEF774A, 0xF209787BB47D6B85, 0xB454E4A179DD1877, 0x865B86925B9BC5C2,
    0xC83553C5C8965D3D, 0x952AB45CFA97A0B3, 0xDE469FBD99A05FE3, 0xA59BC234DB398C25,
    0xF6C69A72A3989F5C, 0xB7DCBF5354E9BECE, 0x88FCF317F22241E2, 0xCC20CE9BD35C78A5,
    0x98165AF37B2153DF, 0xE2A0B5DC971F303A, 0xA8D9D1535CE3B396, 0xFB9B7CD9A4A7443C,
    0xBB764C4CA7A44410, 0x8BAB8EEFB6409C1A, 0xD01FEF10A657842C, 0x9B10A4E5E9913129,
    0xE7109BFBA19C0C9D, 0xAC2820D9623BF429, 0x80444B5E7AA7CF85, 0xBF21E44003ACDD2D,
    0x8E679C2F5E44FF8F, 0xD433179D9C8CB841, 0x9E19DB92B4E31BA9,
};
constexpr int16_t kPowerExponents[] = {
    -1060, -1034, -1007, -980, -954, -927, -901, -874, -847, -821, -794, -768, -741, -715,
    -688,  -661,  -635,  -608, -582, -555, -529, -502, -475, -449, -422, -396, -369, -343,
    -316,  -289,  -263,  -236, -210, -183, -157, -130, -103, -77,  -50,  -24,  3,    30,
    56,    83,    109,   136,  162,  189,  216,  242,  269,  295,  322,  348,  375,  402,
    428,   455,   481,   508,  534,  561,  588,  614,  641,  667,  694,  720,  747,  774,
    800,   827,   853,   880,  907,  933,  960,  986,  1013,
};

// The exponents the scaled numbers are brought to: their integral part then
// fits 32 bits.
constexpr int kAlpha = -60;

// The cached power c = 10^-k whose product with 2^e has an exponent in
// [kAlpha, kAlpha + 28]; sets k.
Binary cached_power(int e, int* k) {
  const int f = kAlpha - e - 1;
  const int wanted = (f * 78913) / (1 << 18) + static_cast<int>(f > 0);  // ceil(f * log10(2))
  const int index = (-kFirstPower + wanted + (kPowerStep - 1)) / kPowerStep;
  *k = kFirstPower + index * kPowerStep;
  return {kPowerSignificands[index], kPowerExponents[index]};
}

// 10^(n-1) <= value < 10^n: returns n and sets *power to 10^(n-1).
int decimal_length(uint32_t value, uint32_t* power) {
  int n = 1;
  *power = 1;
  while (n < 10 && value / *power >= 10) {
    *power *= 10;
    ++n;
  }
  return n;
}

// Moves the last digit down by one ulp (`unit`) while that brings the digits
// closer to w and keeps them inside the interval.
void round_towards(char* digits, int length, uint64_t distance, uint64_t delta, uint64_t rest,
                   uint64_t unit) {
  while (rest < distance && delta - rest >= unit &&
         (rest + unit < distance || distance - rest > rest + unit - distance)) {
    --digits[length - 1];
    rest += unit;
  }
}

// The digits of the shortest number in [low, high] (the same exponent, in
// [kAlpha, kAlpha + 28]) by Grisu2, nearest to w.
int generate(char* digits, int* exponent, Binary low, Binary w, Binary high) {
  uint64_t delta = high.f - low.f;
  uint64_t distance = high.f - w.f;
  const int shift = -high.e;
  const uint64_t one = uint64_t{1} << shift;
  auto integral = static_cast<uint32_t>(high.f >> shift);
  uint64_t fraction = high.f & (one - 1);
  int length = 0;
  uint32_t power = 0;
  for (int n = decimal_length(integral, &power); n > 0; power /= 10) {
    digits[length++] = static_cast<char>('0' + integral / power);
    integral %= power;
    --n;
    const uint64_t rest = (uint64_t{integral} << shift) + fraction;
    if (rest <= delta) {
      *exponent += n;
      round_towards(digits, length, distance, delta, rest, uint64_t{power} << shift);
      return length;
    }
  }
  int m = 0;
  do {
    fraction *= 10;
    digits[length++] = static_cast<char>('0' + (fraction >> shift));
    fraction &= one - 1;
    ++m;
    delta *= 10;
    distance *= 10;
  } while (fraction > delta);
  *exponent -= m;
  round_towards(digits, length, distance, delta, fraction, one);
  return length;
}

}  // namespace

int shortest_digits(double value, char* digits, int* exponent) {
  constexpr int kBias = 1075;  // exponent bias plus the 52 fraction bits
  constexpr uint64_t kHiddenBit = uint64_t{1} << 52;
  const auto bits = std::bit_cast<uint64_t>(value);
  const auto biased = static_cast<int>(bits >> 52);
  const uint64_t fraction = bits & (kHiddenBit - 1);
  const Binary v =
      biased == 0 ? Binary{fraction, 1 - kBias} : Binary{fraction + kHiddenBit, biased - kBias};
  // The halfway points to the neighbouring doubles; the lower one is closer
  // above a power of two.
  const bool closer_below = fraction == 0 && biased > 1;
  const Binary high = normalized({2 * v.f + 1, v.e - 1});
  const Binary below = closer_below ? Binary{4 * v.f - 1, v.e - 2} : Binary{2 * v.f - 1, v.e - 1};
  const Binary low{below.f << (below.e - high.e), high.e};
  int k = 0;
  const Binary c = cached_power(high.e, &k);
  const Binary w = times(normalized(v), c);
  const Binary scaled_low = times(low, c), scaled_high = times(high, c);
  // Each product is within an ulp: keep to what surely reads back as w.
  *exponent = -k;
  return generate(digits, exponent, {scaled_low.f + 1, scaled_low.e}, w,
                  {scaled_high.f - 1, scaled_high.e});
}

}  // namespace vant::cli
