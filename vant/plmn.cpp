#include "vant/plmn.h"

namespace vant::cli {
namespace {

constexpr uint8_t kFiller = 0xF;

bool is_digit(uint8_t nibble) {
  return nibble <= 9;
}

char digit(uint8_t nibble) {
  return static_cast<char>('0' + nibble);
}

}  // namespace

std::optional<Plmn> decode_plmn(const uint8_t (&bytes)[3]) {
  const uint8_t mcc1 = bytes[0] & 0x0F, mcc2 = bytes[0] >> 4;
  const uint8_t mcc3 = bytes[1] & 0x0F, mnc3 = bytes[1] >> 4;
  const uint8_t mnc1 = bytes[2] & 0x0F, mnc2 = bytes[2] >> 4;
  for (const uint8_t nibble : {mcc1, mcc2, mcc3, mnc1, mnc2}) {
    if (!is_digit(nibble)) return std::nullopt;
  }
  if (!is_digit(mnc3) && mnc3 != kFiller) return std::nullopt;
  Plmn plmn{{digit(mcc1), digit(mcc2), digit(mcc3)}, {digit(mnc1), digit(mnc2)}};
  if (mnc3 != kFiller) plmn.mnc += digit(mnc3);
  return plmn;
}

}  // namespace vant::cli
