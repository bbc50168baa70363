// Turning one decoded image header into a FirmwareImageInfo record.
#include <array>
#include <cstring>
#include <string_view>

#include "sdk/firmware/package_version.h"
#include "sdk/firmware/version_text.h"
#include "vantsdk/firmware.h"

namespace vant {
namespace {

using TokenField = char (FirmwareImageInfo::*)[kVersionTokenSize];

// What happens to the first eight "_" fields of a FILE or SPKG version: where
// the field is kept (if anywhere) and whether its length is checked.
struct TokenRule {
  TokenField field;
  bool lengthChecked;
};

constexpr std::array<TokenRule, 8> kTokenRules = {{
    {&FirmwareImageInfo::versionToken1, true},
    {&FirmwareImageInfo::versionToken2, true},
    {&FirmwareImageInfo::versionToken3, true},
    {nullptr, false},
    {nullptr, true},
    {&FirmwareImageInfo::versionToken6, true},
    {&FirmwareImageInfo::versionToken7, true},
    {&FirmwareImageInfo::versionToken8, true},
}};

template <size_t N>
void copy_text(char (&field)[N], std::string_view text) {
  static_assert(N > 0);
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

bool take_version_tokens(std::string_view version, FirmwareImageInfo& record) {
  for (size_t i = 0; i < kTokenRules.size(); ++i) {
    const auto field = version_field(version, i);
    if (!field) break;
    const TokenRule& rule = kTokenRules[i];
    if (rule.lengthChecked && field->size() >= kVersionTokenSize) return false;
    if (rule.field) copy_text(record.*rule.field, *field);
  }
  return true;
}

bool listed_chipset(std::string_view product) {
  return product == "9X40" || product == "9X28";
}

}  // namespace
}  // namespace vant

int fill_in_firmware_info(const ImageHeader* header, uint8_t kinds, FirmwareImageInfo* record) {
  using namespace vant;
  if (!header || !record) return 0;
  *record = {};
  uint32_t type = kImageTypeOther;
  if (!image_type_index(header->imageType, &type)) return 0;
  char product[kImageProductTextSize] = {};
  find_image_product(header, product);
  // A version that fills its whole field has no room for the record's
  // terminator; refusing it beats recording a cut-down version.
  const auto version = terminated_text(header->version, kImageVersionSize);
  if (!version) return 0;

  if (type == kImageTypeFile || type == kImageTypeSpkg) {
    if (!take_version_tokens(*version, *record)) return 0;
  }
  uint32_t state = 0;
  if (type == kImageTypeFile) {
    if (!take_into_package_version(*version, listed_chipset(product), &state)) return 0;
  }
  record->fileKinds = kinds;
  record->imageType = type;
  record->packageVersionState = state;
  copy_text(record->version, *version);
  std::memcpy(record->date, header->date, kImageDateSize);
  return 1;
}
