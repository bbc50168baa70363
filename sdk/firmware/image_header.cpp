// Decoding of the 400-byte image header and the type table.
#include <array>
#include <cstdio>
#include <cstring>
#include <span>

#include "sdk/firmware/firmware_log.h"
#include "sdk/firmware/image_types.h"
#include "vantsdk/firmware.h"

namespace vant {
namespace {

struct ImageTypeRow {
  char code[5];
  bool recorded;
  bool bodyFollows;
};

constexpr std::array<ImageTypeRow, 9> kImageTypes = {{
    {"BOOT", true, false},
    {"APPL", false, false},
    {"APPS", true, true},
    {"FILE", true, true},
    {"SPKG", true, false},
    {"MODM", true, false},
    {"USER", true, true},
    {"KEYS", true, true},
    {"", false, true},  // any other code
}};

constexpr uint32_t fourcc(const char (&code)[5]) {
  return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
         uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

// Where each field lies in the stored header.
namespace offset {
constexpr size_t kWord256 = 256;
constexpr size_t kRevision = 260;
constexpr size_t kWord264 = 264;
constexpr size_t kType = 268;
constexpr size_t kProduct = 272;
constexpr size_t kLength = 276;
constexpr size_t kWord280 = 280;
constexpr size_t kVersion = 284;
constexpr size_t kDate = 368;
constexpr size_t kWord376 = 376;
constexpr size_t kByte380 = 380;
constexpr size_t kWord384 = 384;
constexpr size_t kWord388 = 388;
constexpr size_t kWord392 = 392;
constexpr size_t kValidity = 396;
}  // namespace offset

// The only reader of raw header bytes; every offset it is given lies inside
// the fixed-size header, so no read can pass its end.
class HeaderBytes {
 public:
  explicit HeaderBytes(std::span<const uint8_t, kImageHeaderSize> raw) : raw_(raw) {}

  uint8_t byte(size_t at) const { return raw_[at]; }
  uint32_t big_endian(size_t at) const {
    return uint32_t(raw_[at]) << 24 | uint32_t(raw_[at + 1]) << 16 | uint32_t(raw_[at + 2]) << 8 |
           uint32_t(raw_[at + 3]);
  }
  uint32_t little_endian(size_t at) const {
    return uint32_t(raw_[at + 3]) << 24 | uint32_t(raw_[at + 2]) << 16 |
           uint32_t(raw_[at + 1]) << 8 | uint32_t(raw_[at]);
  }
  template <size_t N>
  void copy(size_t at, char (&field)[N], size_t count = N) const {
    static_assert(N <= kImageHeaderSize);
    std::memcpy(field, raw_.data() + at, count <= N ? count : N);
  }

 private:
  std::span<const uint8_t, kImageHeaderSize> raw_;
};

}  // namespace

bool image_type_recorded(uint32_t index) {
  return index < kImageTypes.size() && kImageTypes[index].recorded;
}

bool image_body_follows(uint32_t index) {
  return index >= kImageTypes.size() || kImageTypes[index].bodyFollows;
}

}  // namespace vant

bool image_type_index(uint32_t code, uint32_t* index) {
  for (uint32_t i = 0; i < vant::kImageTypeOther; ++i) {
    if (vant::fourcc(vant::kImageTypes[i].code) == code) {
      if (index) *index = i;
      return true;
    }
  }
  if (index) *index = vant::kImageTypeOther;
  return false;
}

int decode_image_header(const uint8_t* raw, ImageHeader* header) {
  using namespace vant::offset;
  if (!raw || !header) return 0;
  const vant::HeaderBytes in{
      std::span<const uint8_t, vant::kImageHeaderSize>(raw, vant::kImageHeaderSize)};
  *header = {};
  // The block's last byte stays 0 so that it reads as a terminated text.
  in.copy(0, header->leadingBlock, vant::kImageLeadingBlockSize - 1);
  const uint8_t revision = uint8_t(in.big_endian(kRevision) & 0xFF);
  header->imageType = in.big_endian(kType);
  header->product = in.big_endian(kProduct);
  header->imageLength = in.big_endian(kLength);
  header->word280 = in.big_endian(kWord280);
  in.copy(kVersion, header->version);
  in.copy(kDate, header->date);
  header->word376 = in.big_endian(kWord376);
  header->byte380 = revision >= 3 ? in.byte(kByte380) : 0;
  // From revision 2 on, the three trailing words are written little-endian.
  const auto word = [&](size_t at) {
    return revision >= 2 ? in.little_endian(at) : in.big_endian(at);
  };
  header->word384 = word(kWord384);
  header->word388 = word(kWord388);
  header->word392 = word(kWord392);
  header->validity = in.big_endian(kValidity);
  header->word256 = in.big_endian(kWord256);
  header->word264 = in.big_endian(kWord264);
  const bool invalid_appl = header->imageType == vant::fourcc("APPL") && header->validity != 1;
  return invalid_appl ? 0 : 1;
}

void find_image_product(const ImageHeader* header, char* product) {
  if (!product) {
    vant::firmware_log(
        "Error in function: find_image_product. The input parameter product is NULL..\n");
    return;
  }
  if (!header) {
    vant::firmware_log(
        "Error in function: find_image_product. The input parameter header is NULL..\n");
    product[0] = '\0';
    return;
  }
  const uint32_t p = header->product;
  std::snprintf(product, vant::kImageProductTextSize, "%c%c%c%c", char(p >> 24), char(p >> 16),
                char(p >> 8), char(p));
}
