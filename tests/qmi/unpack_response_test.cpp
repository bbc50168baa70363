#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <vector>

#include "vantsdk/qmi_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Tlv {
  uint8_t type;
  Bytes value;
};

// Byte by byte: GCC 12 warns wrongly about vector::insert of short ranges.
void append(Bytes& to, const Bytes& from) {
  for (uint8_t b : from) to.push_back(b);
}

Bytes tlv_bytes(const Tlv& t) {
  Bytes b{t.type, static_cast<uint8_t>(t.value.size()), static_cast<uint8_t>(t.value.size() >> 8)};
  append(b, t.value);
  return b;
}

// A whole message whose length field matches its TLVs.
Bytes message(std::initializer_list<Tlv> tlvs, uint16_t id = 0x0043) {
  Bytes body;
  for (const Tlv& t : tlvs) {
    const Bytes b = tlv_bytes(t);
    append(body, b);
  }
  Bytes m{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
          static_cast<uint8_t>(body.size()), static_cast<uint8_t>(body.size() >> 8)};
  append(m, body);
  return m;
}

Tlv result(uint16_t result_word, uint16_t error) {
  return {0x02,
          {static_cast<uint8_t>(result_word), static_cast<uint8_t>(result_word >> 8),
           static_cast<uint8_t>(error), static_cast<uint8_t>(error >> 8)}};
}

// The caller's output record; every field starts as "not reported".
struct Output {
  uint32_t word = 0xFFFFFFFF;
  int wordCalls = 0;
  uint8_t firstByte = 0xFF;
  uint16_t after = 0xFFFF;
  uint8_t peekedType = 0;
  uint16_t peekedLength = 0;
  std::array<uint8_t, 8> text{};
  uint32_t greedy = 0xFFFFFFFF;

  bool operator==(const Output&) const = default;
};

Output& out(ResponseContext* context) {
  return *static_cast<Output*>(context->output);
}

uint32_t unpack_word(QmiCursor* c, ResponseContext* context) {
  ++out(context).wordCalls;
  return get_u32(c, &out(context).word);
}
// Reads only the first byte of its value.
uint32_t unpack_first_byte(QmiCursor* c, ResponseContext* context) {
  return get_u8(c, &out(context).firstByte);
}
uint32_t unpack_after(QmiCursor* c, ResponseContext* context) {
  return get_u16(c, &out(context).after);
}
// A value of variable length, sized through the TLV header.
uint32_t unpack_text(QmiCursor* c, ResponseContext* context) {
  Output& o = out(context);
  if (uint32_t s = peek_tlv_type(c, &o.peekedType)) return s;
  if (uint32_t s = peek_tlv_length(c, &o.peekedLength)) return s;
  if (o.peekedLength > o.text.size()) return 5;
  return get_bytes(c, o.text.data(), o.peekedLength);
}
uint32_t unpack_refusing(QmiCursor*, ResponseContext*) {
  return 5;
}
// Reads four bytes whatever the value's length says.
uint32_t unpack_greedy(QmiCursor* c, ResponseContext* context) {
  return get_u32(c, &out(context).greedy);
}

constexpr TlvEntry kResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_word}, {0x11, &unpack_first_byte},
    {0x12, &unpack_after},      {0x13, &unpack_text}, {0x14, &unpack_refusing},
    {0x15, &unpack_greedy},     {kTlvEnd, nullptr},
};
constexpr TlvEntry kIndication[] = {
    {0x02, &unpack_result_tlv},
    {0x10, &unpack_word},
    {kTlvEnd, &tlv_end_of_indication},
};
constexpr TlvEntry kWithoutResultRow[] = {{0x10, &unpack_word}, {kTlvEnd, nullptr}};

struct Unpacked {
  uint32_t status;
  Output output;
  ResponseContext context;
};

Unpacked unpack(const Bytes& m, TlvTable table = kResponse, uint16_t id = 0x0043) {
  Unpacked u{};
  u.context.output = &u.output;
  u.status = unpack_response(m.data(), &u.context, table, id);
  u.context.output = nullptr;
  return u;
}

bool present(const ResponseContext& c, uint8_t type) {
  return (c.presence[type / 16] >> (type % 16)) & 1u;
}

TEST(UnpackResponse, EmptyMessageNeedsAResultOnlyInResponses) {
  const Bytes empty = message({});
  EXPECT_EQ(17u, unpack(empty).status);
  EXPECT_EQ(0u, unpack(empty, kIndication).status);
  EXPECT_EQ(0u, unpack(empty, kWithoutResultRow).status);
  Output o;
  ResponseContext context{};
  context.output = &o;
  EXPECT_EQ(0u, walk_tlvs(empty.data(), &context, kResponse));
}

TEST(UnpackResponse, ResultWordsBecomeResultCodes) {
  struct Case {
    uint16_t result;
    uint16_t error;
    uint32_t expected;
  };
  const Case cases[] = {{0, 0, 0},    {0, 0x1234, 0},  {1, 0, 1000},
                        {1, 1, 1001}, {1, 0x5E, 1094}, {1, 0xFFFF, 1000 + 0xFFFF},
                        {2, 0, 17},   {0xFFFF, 1, 17}};
  for (const Case& k : cases) {
    const Unpacked u = unpack(message({result(k.result, k.error)}));
    EXPECT_EQ(k.expected, u.status) << k.result << "/" << k.error;
    EXPECT_EQ(k.result < 2 ? 1u : 0u, u.context.resultSeen) << k.result << "/" << k.error;
  }
}

TEST(UnpackResponse, MissingResultIsInvalidEvenWithAStaleContext) {
  const Bytes m = message({{0x10, {1, 0, 0, 0}}});
  Output o;
  ResponseContext context{};
  context.output = &o;
  context.resultSeen = 1;  // left over from an earlier response
  EXPECT_EQ(17u, unpack_response(m.data(), &context, kResponse, 0x43));
  EXPECT_EQ(1u, o.word);
}

TEST(UnpackResponse, IndicationMayOmitTheResultButStillHonoursIt) {
  EXPECT_EQ(0u, unpack(message({{0x10, {9, 0, 0, 0}}}), kIndication).status);
  EXPECT_EQ(1003u, unpack(message({result(1, 3)}), kIndication).status);
}

TEST(UnpackResponse, OtherTlvsAreStoredAlsoOnAFailedResult) {
  const Unpacked u = unpack(message({result(1, 0x1A), {0x10, {0x44, 0x33, 0x22, 0x11}}}));
  EXPECT_EQ(1026u, u.status);
  EXPECT_EQ(0x11223344u, u.output.word);
}

TEST(UnpackResponse, UnknownTypesAreSteppedOverInAnyOrder) {
  const Unpacked u = unpack(message({{0x30, {1, 2, 3, 4, 5}},
                                     {0xFF, {}},
                                     {0x12, {0x02, 0x01}},
                                     {0x02, {0, 0, 0, 0}},
                                     {0x31, {}}}));
  EXPECT_EQ(0u, u.status);
  EXPECT_EQ(0x0102u, u.output.after);
  EXPECT_EQ(0, u.output.wordCalls);
  for (uint8_t type : {0x02, 0x12, 0x30, 0x31}) EXPECT_TRUE(present(u.context, type)) << +type;
  for (uint8_t type : {0x10, 0xFF}) EXPECT_FALSE(present(u.context, type)) << +type;
}

TEST(UnpackResponse, RepeatedTypeRunsTwiceAndTheLaterValueWins) {
  const Unpacked u = unpack(message({{0x10, {1, 0, 0, 0}}, result(0, 0), {0x10, {2, 0, 0, 0}}}));
  EXPECT_EQ(0u, u.status);
  EXPECT_EQ(2, u.output.wordCalls);
  EXPECT_EQ(2u, u.output.word);
}

// Reading less or more than a value must not shift the TLVs that follow.
TEST(UnpackResponse, NextTlvStartsWhereTheLengthSays) {
  const Unpacked u = unpack(message({{0x11, {0xAB, 0xCD, 0xEF, 0x01}},
                                     {0x12, {0x34, 0x12}},
                                     {0x15, {0x78, 0x56}},
                                     {0x02, {0, 0, 0, 0}}}));
  EXPECT_EQ(0u, u.status);
  EXPECT_EQ(0xAB, u.output.firstByte);
  EXPECT_EQ(0x1234, u.output.after);
  // The greedy read runs on into the result TLV's header: 02 04.
  EXPECT_EQ(0x04025678u, u.output.greedy);
  EXPECT_EQ(1u, u.context.resultSeen);
}

TEST(UnpackResponse, UnpackerPeeksAtItsHeader) {
  const Unpacked u = unpack(message({result(0, 0), {0x13, {'a', 'b', 'c'}}}));
  EXPECT_EQ(0u, u.status);
  EXPECT_EQ(0x13, u.output.peekedType);
  EXPECT_EQ(3, u.output.peekedLength);
  EXPECT_EQ(0, std::memcmp("abc", u.output.text.data(), 3));
}

TEST(UnpackResponse, UnpackerFailureEndsTheWalk) {
  const Unpacked u =
      unpack(message({{0x10, {7, 0, 0, 0}}, {0x14, {}}, {0x12, {1, 0}}, result(0, 0)}));
  EXPECT_EQ(5u, u.status);
  EXPECT_EQ(7u, u.output.word);
  EXPECT_EQ(0xFFFF, u.output.after);
}

TEST(UnpackResponse, MessageIdIsNotCompared) {
  EXPECT_EQ(0u, unpack(message({result(0, 0)}, 0x0022), kResponse, 0x5569).status);
}

// A value or header that runs past the end of the message ends the walk with
// 3; a known type's unpacker has stored what lay inside, an unknown one is
// not stepped over. A length near 0xFFFF must not wrap the index back (which
// would walk the message again, forever).
TEST(UnpackResponse, ValuesPastTheEndFailWithMemoryError) {
  struct Case {
    Bytes tail;
    uint8_t firstByte;
  };
  const Case cases[] = {
      {{0x30, 0x05, 0x00, 1, 2}, 0xFF},
      {{0x30, 0xFF, 0xFF, 1, 2}, 0xFF},
      {{0x11, 0x05, 0x00, 0x42}, 0x42},
      {{0x11, 0xFE, 0xFF, 0x42}, 0x42},
      // The value starts at 10; 10 + 0xFFF6 wraps a 16-bit index back to 0.
      {{0x30, 0xF6, 0xFF, 1, 2}, 0xFF},
      {{0x11, 0xF6, 0xFF, 0x42}, 0x42},
      {{0x12, 0x01}, 0xFF},
      {{0x12}, 0xFF},
  };
  for (const Case& k : cases) {
    Bytes m = message({result(0, 0)});
    append(m, k.tail);
    m[2] = static_cast<uint8_t>(m.size() - 4);
    const Unpacked u = unpack(m);
    EXPECT_EQ(3u, u.status) << +k.tail[0];
    EXPECT_EQ(k.firstByte, u.output.firstByte) << +k.tail[0];
  }
}

TEST(UnpackResponse, ShortResultTlvFails) {
  EXPECT_EQ(3u, unpack(message({{0x02, {0, 0}}})).status);
  EXPECT_EQ(3u, unpack(message({{0x02, {}}})).status);
}

TEST(UnpackResponse, NullPointersAreRejected) {
  const Bytes m = message({});
  ResponseContext context{};
  EXPECT_EQ(4u, unpack_response(nullptr, &context, kResponse, 0));
  EXPECT_EQ(4u, unpack_response(m.data(), nullptr, kResponse, 0));
  EXPECT_EQ(4u, unpack_response(m.data(), &context, nullptr, 0));
  EXPECT_EQ(4u, walk_tlvs(nullptr, &context, kResponse));
}

// Every prefix of a valid response, with its length field cut to match,
// either fails with 3 or ends on a TLV boundary and decodes exactly the TLVs
// it holds.
TEST(UnpackResponse, EveryPrefixFailsOrDecodesConsistently) {
  const std::vector<Tlv> tlvs = {result(1, 0x0D),      {0x10, {0xEF, 0xBE, 0xAD, 0xDE}},
                                 {0x40, {9, 9, 9}},    {0x13, {'x', 'y'}},
                                 {0x11, {0x5A, 0, 0}}, {0x12, {0x22, 0x11}}};
  const Output preset;
  // What each TLV contributes to the output when it was decoded.
  const std::vector<std::function<void(Output&)>> effects = {
      [](Output&) {},
      [](Output& o) { o.word = 0xDEADBEEF, o.wordCalls = 1; },
      [](Output&) {},
      [](Output& o) { o.peekedType = 0x13, o.peekedLength = 2, o.text[0] = 'x', o.text[1] = 'y'; },
      [](Output& o) { o.firstByte = 0x5A; },
      [](Output& o) { o.after = 0x1122; },
  };
  Bytes full = message({});
  std::vector<size_t> boundaries = {full.size()};
  for (const Tlv& t : tlvs) {
    const Bytes b = tlv_bytes(t);
    append(full, b);
    boundaries.push_back(full.size());
  }
  full[2] = static_cast<uint8_t>(full.size() - 4);

  for (size_t n = 4; n <= full.size(); ++n) {
    Bytes prefix(full.begin(), full.begin() + n);
    prefix[2] = static_cast<uint8_t>(n - 4);
    const Unpacked u = unpack(prefix);
    size_t whole = 0;
    while (whole < boundaries.size() && boundaries[whole] != n) ++whole;
    if (whole == boundaries.size()) {
      EXPECT_EQ(3u, u.status) << "prefix of " << n << " bytes";
      continue;
    }
    Output expected = preset;
    for (size_t i = 0; i < whole; ++i) effects[i](expected);
    EXPECT_EQ(whole == 0 ? 17u : 1013u, u.status) << "prefix of " << n << " bytes";
    EXPECT_TRUE(expected == u.output) << "prefix of " << n << " bytes";
  }
}

}  // namespace
