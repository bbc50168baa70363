// Turning the TP-User-Data of a received short message into text.
#include <array>
#include <span>

#include "sdk/sms/gsm_alphabet.h"
#include "sdk/sms/text_writer.h"
#include "sdk/sms/user_data.h"
#include "vantsdk/result_codes.h"
#include "vantsdk/sms.h"

namespace vant {
namespace {

constexpr uint8_t kMaxSeptets = 160;
constexpr uint8_t kMax8BitOctets = 140;
constexpr size_t kHeaderSeptets = 7;  // six header octets and one fill bit
constexpr size_t kHeaderOctets = 6;

constexpr HeaderTraceIds kSeptetHeaderIds = {
    "PduDefaultEncoding2text", 1138, 1147, 1169, 1158, 1163};
constexpr HeaderTraceIds kOctetHeaderIds = {"PduEncoded2text", 1363, 1372, 1394, 1383, 1388};

// Maps GSM alphabet values (septets, or 8-bit octets) to text. The escape
// code writes nothing and selects the extension table for the next value.
class GsmTextMapper {
 public:
  explicit GsmTextMapper(TextWriter& out) : out_(out) {}

  bool put(uint8_t value) {
    if (value == kGsmEscape) {
      ++escapes_;
      escaped_ = true;
      return true;
    }
    const uint16_t code_point =
        escaped_ ? gsm_extension_code_point(value) : gsm_default_code_point(value);
    escaped_ = false;
    return out_.put(code_point);
  }

  size_t escapes() const { return escapes_; }

 private:
  TextWriter& out_;
  bool escaped_ = false;
  size_t escapes_ = 0;
};

uint32_t store_header(const ConcatenationInfo& info, uint8_t* reference, uint8_t* total,
                      uint8_t* sequence) {
  *reference = info.reference;
  *total = info.total;
  *sequence = info.sequence;
  return kSuccess;
}

// Reads the header when there is one and stores its numbers. 0 or a result.
uint32_t take_header(bool has_header, std::span<const uint8_t> octets, uint32_t hex_length,
                     const HeaderTraceIds& ids, uint8_t* reference, uint8_t* total,
                     uint8_t* sequence) {
  if (!has_header) return kSuccess;
  if (!reference || !total || !sequence) return kInvalidArgument;
  ConcatenationInfo info{};
  if (const uint32_t rc = parse_concatenation_header(octets, hex_length, ids, &info)) return rc;
  return store_header(info, reference, total, sequence);
}

uint8_t read_udl(const char* hex) {
  std::array<uint8_t, 1> udl{};
  unhex(hex, udl);
  return udl[0];
}

}  // namespace
}  // namespace vant

uint32_t PduDefaultEncoding2text(const char* hex, uint32_t hex_length, uint8_t* length,
                                 uint8_t* text, bool has_header, uint8_t udl, uint8_t* reference,
                                 uint8_t* total, uint8_t* sequence) {
  using namespace vant;
  if (!length || !hex || !text) return kInvalidArgument;
  const uint8_t capacity = *length;
  if (capacity < udl) {
    *length = udl;
    return kBufferTooSmall;
  }
  // The octets that udl septets fill, rounded up.
  const size_t data_octets = 7 * (size_t(udl) + 1) / 8;
  if (hex_length != 2 * (data_octets + 1)) {
    sms_trace("PduDefaultEncoding2text", 1122);
    return kSmsCorruptLength;
  }
  std::array<uint8_t, kMaxUserDataOctets> storage{};
  const std::span<uint8_t> octets(storage.data(), data_octets + 1);
  if (!unhex(hex, octets)) return kSmsCorruptLength;
  if (const uint32_t rc =
          take_header(has_header, octets, hex_length, kSeptetHeaderIds, reference, total, sequence))
    return rc;
  const size_t skipped = has_header ? kHeaderSeptets : 0;
  if (udl < skipped) return kInvalidArgument;

  TextWriter out(std::span<uint8_t>(text, capacity), true);
  GsmTextMapper mapper(out);
  const auto data = std::span<const uint8_t>(octets).subspan(1);
  for (size_t i = skipped; i < udl; ++i) {
    if (!mapper.put(septet_at(data, i))) return kInvalidArgument;
  }
  if (capacity < udl - skipped - mapper.escapes()) return kInvalidArgument;
  return out.finish(length) ? kSuccess : kInvalidArgument;
}

uint32_t PduEncoded2text(const char* hex, uint32_t hex_length, uint8_t* length, uint8_t* text,
                         bool has_header, uint8_t udl, uint8_t data_coding, uint8_t* reference,
                         uint8_t* total, uint8_t* sequence) {
  using namespace vant;
  if (!hex || !length || !text) return kInvalidArgument;
  if (hex_length != 2 * (uint32_t(udl) + 1)) {
    sms_trace("PduEncoded2text", 1348);
    return kSmsCorruptLength;
  }
  // Sized for the largest UDL an octet can state, so no UDL needs refusing.
  std::array<uint8_t, kMaxUserDataOctets> storage{};
  const std::span<uint8_t> octets(storage.data(), size_t(udl) + 1);
  if (!unhex(hex, octets)) return kSmsCorruptLength;
  if (const uint32_t rc =
          take_header(has_header, octets, hex_length, kOctetHeaderIds, reference, total, sequence))
    return rc;
  const size_t skipped = has_header ? kHeaderOctets : 0;
  if (data_coding != kSmsCoding8Bit && data_coding != kSmsCodingUcs2) return kNotSupported;

  const uint8_t capacity = *length;
  if (capacity < udl) {
    *length = udl;
    return kBufferTooSmall;
  }
  if (udl < skipped || capacity < udl - skipped) return kInvalidArgument;
  const auto data = std::span<const uint8_t>(octets).subspan(1 + skipped);
  const bool ucs2 = data_coding == kSmsCodingUcs2;
  TextWriter out(std::span<uint8_t>(text, capacity), !ucs2);
  if (ucs2) {
    if (!out.put_raw(data)) return kInvalidArgument;
  } else {
    GsmTextMapper mapper(out);
    for (const uint8_t octet : data) {
      if (!mapper.put(octet)) return kInvalidArgument;
    }
  }
  return out.finish(length) ? kSuccess : kInvalidArgument;
}

uint32_t Pdu2text(const char* hex, uint32_t hex_length, uint8_t* length, uint8_t* text,
                  bool has_header, uint8_t data_coding, uint8_t* reference, uint8_t* total,
                  uint8_t* sequence) {
  using namespace vant;
  if (!hex) return kInvalidArgument;
  if (hex_length < 2) return kSmsCorruptLength;
  const uint8_t udl = read_udl(hex);
  switch (data_coding) {
    case kSmsCodingGsm7:
      if (udl > kMaxSeptets) {
        sms_trace("Pdu2text", 1611);
        return kSmsMessageTooLong;
      }
      return PduDefaultEncoding2text(hex, hex_length, length, text, has_header, udl, reference,
                                     total, sequence);
    case kSmsCoding8Bit:
      if (udl > kMax8BitOctets) {
        sms_trace("Pdu2text", 1617);
        return kSmsMessageTooLong;
      }
      return PduEncoded2text(hex, hex_length, length, text, has_header, udl, data_coding, reference,
                             total, sequence);
    case kSmsCodingUcs2:
      return PduEncoded2text(hex, hex_length, length, text, has_header, udl, data_coding, reference,
                             total, sequence);
    default:
      return kNotSupported;
  }
}
