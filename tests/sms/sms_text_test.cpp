// Decoding of short-message user data into text: real message data in each
// coding, the alphabet's special values, headers, lengths and capacities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "vantsdk/result_codes.h"
#include "vantsdk/sms.h"

namespace {

using namespace std::string_literals;
using vant::kSmsCoding8Bit;
using vant::kSmsCodingGsm7;
using vant::kSmsCodingUcs2;

constexpr size_t kGuard = 8;
constexpr uint8_t kGuardByte = 0xEE;

struct Decoded {
  uint32_t rc;
  uint8_t length;
  std::string text;  // the bytes written, up to the reported length
  bool terminated;   // a zero byte follows them
  bool guardIntact;  // nothing was written past the capacity
  uint8_t reference = 0, total = 0, sequence = 0;
};

Decoded decode(const std::string& hex, uint8_t coding, bool header, uint8_t capacity) {
  std::vector<uint8_t> buffer(capacity + kGuard, kGuardByte);
  Decoded d{};
  d.length = capacity;
  d.rc = Pdu2text(hex.data(), uint32_t(hex.size()), &d.length, buffer.data(), header, coding,
                  &d.reference, &d.total, &d.sequence);
  d.guardIntact = std::all_of(buffer.begin() + capacity, buffer.end(),
                              [](uint8_t b) { return b == kGuardByte; });
  if (d.rc == vant::kSuccess && d.length <= capacity) {
    d.text.assign(reinterpret_cast<const char*>(buffer.data()), d.length);
    d.terminated = d.length < capacity && buffer[d.length] == 0;
  }
  return d;
}

struct TextCase {
  const char* name;
  std::string hex;
  uint8_t coding;
  uint8_t capacity;
  std::string text;
  bool terminated;
};

// Septet data below comes from real messages ("hellohello", "How are you?")
// or was packed by an independent encoder from the listed septets.
const TextCase kTextCases[] = {
    {"Gsm7Hellohello", "0AE8329BFD4697D9EC37", kSmsCodingGsm7, 40, "hellohello", true},
    {"Gsm7HowAreYou", "0CC8F71D14969741F977FD07", kSmsCodingGsm7, 40, "How are you?", true},
    {"Gsm7LowercaseHex", "0ae8329bfd4697d9ec37", kSmsCodingGsm7, 40, "hellohello", true},
    {"Gsm7Empty", "00", kSmsCodingGsm7, 40, "", true},
    {"Gsm7EightSeptetsInSevenOctets", "0841E19058341E91", kSmsCodingGsm7, 40, "ABCDEFGH", true},
    {"Gsm7EuroEscape", "029B32", kSmsCodingGsm7, 40, "\x20\xAC", true},
    {"Gsm7EscapedValueOutsideExtension", "029B20", kSmsCodingGsm7, 40, "\x41", true},
    {"Gsm7Delta", "0110", kSmsCodingGsm7, 40, "\x03\x94", true},
    {"Gsm7Pound", "0101", kSmsCodingGsm7, 40, "\xA3", true},
    {"Gsm7GreekCapitals", "0A10C98452B15C30190D", kSmsCodingGsm7, 40,
     "\x03\x94\x03\xA6\x03\x93\x03\x9B\x03\xA9\x03\xA0\x03\xA8\x03\xA3\x03\x98\x03\x9E", true},
    {"Gsm7ExtensionTable", "121BC586B2416D529BD786B7E96D7C1B20", kSmsCodingGsm7, 40,
     "\x0C^{}\\[~]|", true},
    {"Gsm7Latin1Letters", "0F00C1805088703C1F1270FB05FF01", kSmsCodingGsm7, 40,
     "@$\xA5\xE8\xE9_\xC6\xDF\xC9\xA4\xA1\xC4\xA7\xBF\xE0", true},
    {"Gsm7TrailingEscapeWritesNothing", "02C10D", kSmsCodingGsm7, 40, "A", true},
    {"EightBitAscii", "0568656C6C6F", kSmsCoding8Bit, 40, "hello", true},
    {"EightBitThroughAlphabet", "0300101B", kSmsCoding8Bit, 40, "@\x03\x94", true},
    {"EightBitEuroEscape", "021B65", kSmsCoding8Bit, 40, "\x20\xAC", true},
    {"EightBitHighOctetsKeepTheirValue", "0341E9FF", kSmsCoding8Bit, 40, "\x41\xE9\xFF", true},
    {"EightBitEscapedHighOctet", "021BE9", kSmsCoding8Bit, 40, "\xE9", true},
    {"CharacterBelowZeroMakesOctetZero", "0241 1", kSmsCoding8Bit, 40, "A@", true},
    {"Ucs2RawOctets", "044F60597D", kSmsCodingUcs2, 40, "\x4F\x60\x59\x7D", false},
    {"Ucs2EmptyInNoRoom", "00", kSmsCodingUcs2, 0, "", false},
    {"Ucs2ExactlyFilled", "044F60597D", kSmsCodingUcs2, 4, "\x4F\x60\x59\x7D", false},
    {"Gsm7ExactlyFilled", "0AE8329BFD4697D9EC37", kSmsCodingGsm7, 11, "hellohello", true},
    {"Gsm7TwoByteCharacterExactlyFilled", "0110", kSmsCodingGsm7, 3, "\x03\x94", true},
    {"EightBitEuroExactlyFilled", "021B65", kSmsCoding8Bit, 3, "\x20\xAC", true},
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

class TextDecoding : public testing::TestWithParam<TextCase> {};

TEST_P(TextDecoding, WritesTheExpectedBytes) {
  const TextCase& c = GetParam();
  const Decoded d = decode(c.hex, c.coding, false, c.capacity);
  ASSERT_EQ(vant::kSuccess, d.rc);
  EXPECT_EQ(c.text.size(), d.length);
  EXPECT_EQ(c.text, d.text);
  EXPECT_EQ(c.terminated, d.terminated);
  EXPECT_TRUE(d.guardIntact);
}

INSTANTIATE_TEST_SUITE_P(Sms, TextDecoding, testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::string hex;
  uint8_t coding;
  bool header;
  uint8_t capacity;
  uint32_t rc;
  uint8_t lengthAfter;  // what the length byte holds afterwards
  std::string trace;    // the exact standard-error output
};

const std::string kHello = "0AE8329BFD4697D9EC37";
const std::string kSeptetBody = "906536FB0D8287E574D0DB5D06";  // "Hello part one" after a header

const FailureCase kFailureCases[] = {
    {"Gsm7Udl161TooLong", "A1", kSmsCodingGsm7, false, 0, vant::kSmsMessageTooLong, 0,
     "\n-Pdu2text:1611-\n"},
    {"EightBitUdl141TooLong", "8D", kSmsCoding8Bit, false, 0, vant::kSmsMessageTooLong, 0,
     "\n-Pdu2text:1617-\n"},
    {"UnknownCoding", "0568656C6C6F", 2, false, 40, vant::kNotSupported, 40, ""},
    {"Gsm7HexOneShort", "0841E19058341E9", kSmsCodingGsm7, false, 40, vant::kSmsCorruptLength, 40,
     "\n-PduDefaultEncoding2text:1122-\n"},
    {"Gsm7HexOneLong", "0841E19058341E910", kSmsCodingGsm7, false, 40, vant::kSmsCorruptLength, 40,
     "\n-PduDefaultEncoding2text:1122-\n"},
    {"EightBitHexLengthMismatch", "0568656C6C", kSmsCoding8Bit, false, 40, vant::kSmsCorruptLength,
     40, "\n-PduEncoded2text:1348-\n"},
    {"NotHexadecimal", "0241GG", kSmsCoding8Bit, false, 40, vant::kSmsCorruptLength, 40, ""},
    // Bytes of 0x80 and above are no digits whatever the signedness of char.
    {"HighByteFirstInPair",
     "0241\x80"
     "1",
     kSmsCoding8Bit, false, 40, vant::kSmsCorruptLength, 40, ""},
    {"HighByteSecondInPair", "02411\xFF", kSmsCoding8Bit, false, 40, vant::kSmsCorruptLength, 40,
     ""},
    {"Gsm7CapacityBelowUdl", "0CC8F71D14969741F977FD07", kSmsCodingGsm7, false, 10,
     vant::kBufferTooSmall, 12, ""},
    {"Gsm7NoRoomForTerminator", kHello, kSmsCodingGsm7, false, 10, vant::kInvalidArgument, 10, ""},
    {"Gsm7EmptyWithoutRoomForTerminator", "00", kSmsCodingGsm7, false, 0, vant::kInvalidArgument, 0,
     ""},
    {"EightBitEmptyWithoutRoomForTerminator", "00", kSmsCoding8Bit, false, 0,
     vant::kInvalidArgument, 0, ""},
    {"Gsm7NoRoomForSecondByte", "0110", kSmsCodingGsm7, false, 2, vant::kInvalidArgument, 2, ""},
    {"EightBitNoRoomForTerminator", "0568656C6C6F", kSmsCoding8Bit, false, 5,
     vant::kInvalidArgument, 5, ""},
    {"EightBitEuroNoRoom", "021B65", kSmsCoding8Bit, false, 2, vant::kInvalidArgument, 2, ""},
    {"Ucs2CapacityBelowUdl", "044F60597D", kSmsCodingUcs2, false, 3, vant::kBufferTooSmall, 4, ""},
    {"Gsm7HeaderNotConcatenation", "15050803CC0201" + kSeptetBody, kSmsCodingGsm7, true, 40,
     vant::kNotSupported, 40, "\n-PduDefaultEncoding2text:1158-\n"},
    {"Gsm7HeaderLengthSix", "15060003CC0201" + kSeptetBody, kSmsCodingGsm7, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduDefaultEncoding2text:1163-\n"},
    {"Gsm7HeaderLengthOne", "15010003CC0201" + kSeptetBody, kSmsCodingGsm7, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduDefaultEncoding2text:1169-\n"},
    {"Gsm7HeaderLongerThanText", "15200003CC0201" + kSeptetBody, kSmsCodingGsm7, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduDefaultEncoding2text:1147-\n"},
    {"Gsm7HeaderInShortText", "06050003CC0201", kSmsCodingGsm7, true, 40, vant::kSmsCorruptLength,
     40, "\n-PduDefaultEncoding2text:1138-\n"},
    {"EightBitHeaderNotConcatenation", "0B05080307030168656C6C6F", kSmsCoding8Bit, true, 40,
     vant::kNotSupported, 40, "\n-PduEncoded2text:1383-\n"},
    {"EightBitHeaderLengthSix", "0B06000307030168656C6C6F", kSmsCoding8Bit, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduEncoded2text:1388-\n"},
    {"EightBitHeaderLengthOne", "0B01000307030168656C6C6F", kSmsCoding8Bit, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduEncoded2text:1394-\n"},
    {"EightBitHeaderLongerThanText", "0B20000307030168656C6C6F", kSmsCoding8Bit, true, 40,
     vant::kSmsCorruptLength, 40, "\n-PduEncoded2text:1372-\n"},
    {"EightBitHeaderInShortText", "050500030703", kSmsCoding8Bit, true, 40, vant::kSmsCorruptLength,
     40, "\n-PduEncoded2text:1363-\n"},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class DecodingFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(DecodingFailure, ReturnsTheCodeAndTraceWithoutOverrun) {
  const FailureCase& c = GetParam();
  testing::internal::CaptureStderr();
  const Decoded d = decode(c.hex, c.coding, c.header, c.capacity);
  const std::string trace = testing::internal::GetCapturedStderr();
  EXPECT_EQ(c.rc, d.rc);
  EXPECT_EQ(c.lengthAfter, d.length);
  EXPECT_EQ(c.trace, trace);
  EXPECT_TRUE(d.guardIntact);
}

INSTANTIATE_TEST_SUITE_P(Sms, DecodingFailure, testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmsHeader, SevenBitConcatenationPartSkipsSevenSeptets) {
  const Decoded d = decode("15050003CC0201" + kSeptetBody, kSmsCodingGsm7, true, 40);
  ASSERT_EQ(vant::kSuccess, d.rc);
  EXPECT_EQ("Hello part one", d.text);
  EXPECT_TRUE(d.terminated);
  EXPECT_EQ(0xCC, d.reference);
  EXPECT_EQ(2, d.total);
  EXPECT_EQ(1, d.sequence);
}

TEST(SmsHeader, EightBitAndUcs2PartsSkipSixOctets) {
  const Decoded eight = decode("0B05000307030168656C6C6F", kSmsCoding8Bit, true, 40);
  ASSERT_EQ(vant::kSuccess, eight.rc);
  EXPECT_EQ("hello", eight.text);
  EXPECT_EQ((std::vector<uint8_t>{7, 3, 1}),
            (std::vector<uint8_t>{eight.reference, eight.total, eight.sequence}));

  const Decoded ucs2 = decode("0C050003420202004100420043", kSmsCodingUcs2, true, 40);
  ASSERT_EQ(vant::kSuccess, ucs2.rc);
  EXPECT_EQ("\x00\x41\x00\x42\x00\x43"s, ucs2.text);
  EXPECT_FALSE(ucs2.terminated);
  EXPECT_EQ((std::vector<uint8_t>{0x42, 2, 2}),
            (std::vector<uint8_t>{ucs2.reference, ucs2.total, ucs2.sequence}));
}

TEST(SmsHeader, FailedHeaderLeavesTheNumbersAlone) {
  uint8_t length = 40, text[40], reference = 9, total = 9, sequence = 9;
  const std::string hex = "15050803CC0201" + kSeptetBody;
  testing::internal::CaptureStderr();
  EXPECT_EQ(vant::kNotSupported, Pdu2text(hex.data(), uint32_t(hex.size()), &length, text, true,
                                          kSmsCodingGsm7, &reference, &total, &sequence));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ((std::vector<uint8_t>{9, 9, 9}), (std::vector<uint8_t>{reference, total, sequence}));
}

TEST(SmsLimits, Ucs2OfTwoHundredOctetsIsAccepted) {
  std::string hex = "C8";
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    hex += "04" + std::string(1, "0123456789ABCDEF"[i % 16]) + "0";
    expected += "\x04"s + char((i % 16) << 4);
  }
  const Decoded d = decode(hex, kSmsCodingUcs2, false, 255);
  ASSERT_EQ(vant::kSuccess, d.rc);
  EXPECT_EQ(200, d.length);
  EXPECT_EQ(expected, d.text);
}

TEST(SmsLimits, Gsm7At160SeptetsIsAccepted) {
  // 160 "@" septets are all zero bits: 140 zero octets.
  const std::string hex = "A0" + std::string(280, '0');
  const Decoded d = decode(hex, kSmsCodingGsm7, false, 161);
  ASSERT_EQ(vant::kSuccess, d.rc);
  EXPECT_EQ(std::string(160, '@'), d.text);
}

TEST(SmsLimits, TruncatedUserDataFailsAtEveryPrefix) {
  testing::internal::CaptureStderr();
  for (size_t n = 0; n < kHello.size(); ++n) {
    const Decoded d = decode(kHello.substr(0, n), kSmsCodingGsm7, false, 40);
    EXPECT_EQ(vant::kSmsCorruptLength, d.rc) << "prefix of " << n << " characters";
    EXPECT_TRUE(d.guardIntact);
  }
  testing::internal::GetCapturedStderr();
}

TEST(SmsLimits, EveryCapacityIsRespected) {
  // "How are you?" with a Delta and a euro sign added: two-byte characters
  // at different places against every capacity a length byte can hold.
  const std::string hex = "0FC8F71D14969741F977FD07D99401";
  for (unsigned capacity = 0; capacity < 256; ++capacity) {
    const Decoded d = decode(hex, kSmsCodingGsm7, false, uint8_t(capacity));
    EXPECT_TRUE(d.guardIntact) << "capacity " << capacity;
    if (d.rc == vant::kSuccess) {
      EXPECT_LT(d.length, capacity);
      EXPECT_TRUE(d.terminated);
    }
  }
}

TEST(SmsArguments, NullPointersAreRefused) {
  uint8_t length = 40, text[40], reference, sequence;
  const char* hex = "0568656C6C6F";
  EXPECT_EQ(vant::kInvalidArgument,
            Pdu2text(nullptr, 12, &length, text, false, kSmsCoding8Bit, nullptr, nullptr, nullptr));
  EXPECT_EQ(vant::kInvalidArgument,
            Pdu2text(hex, 12, nullptr, text, false, kSmsCoding8Bit, nullptr, nullptr, nullptr));
  EXPECT_EQ(vant::kInvalidArgument,
            Pdu2text(hex, 12, &length, nullptr, false, kSmsCoding8Bit, nullptr, nullptr, nullptr));
  EXPECT_EQ(vant::kInvalidArgument, Pdu2text(kHello.data(), 20, nullptr, text, false,
                                             kSmsCodingGsm7, nullptr, nullptr, nullptr));
  const std::string with_header = "0B05000307030168656C6C6F";
  EXPECT_EQ(vant::kInvalidArgument, Pdu2text(with_header.data(), 24, &length, text, true,
                                             kSmsCoding8Bit, &reference, nullptr, &sequence));
}

}  // namespace
