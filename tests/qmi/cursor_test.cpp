#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vantsdk/qmi_codec.h"

namespace {

constexpr uint8_t kFill = 0xAA;

// One primitive that moves `width` bytes at the index, run against a cursor of
// `size` bytes whose index stands at `index`.
struct IndexedCase {
  const char* name;
  uint16_t width;
  std::function<uint32_t(QmiCursor*)> run;
};

std::vector<IndexedCase> indexed_primitives() {
  static uint8_t u8;
  static uint16_t u16;
  static uint32_t u32;
  static uint64_t u64;
  static std::array<uint8_t, 5> bytes;
  return {
      {"put_u8", 1, [](QmiCursor* c) { return put_u8(c, 0x11); }},
      {"put_u16", 2, [](QmiCursor* c) { return put_u16(c, 0x1122); }},
      {"put_u32", 4, [](QmiCursor* c) { return put_u32(c, 0x11223344); }},
      {"put_u64", 8, [](QmiCursor* c) { return put_u64(c, 0x1122334455667788); }},
      {"put_u16_be", 2, [](QmiCursor* c) { return put_u16_be(c, 0x1122); }},
      {"put_bytes", 5, [](QmiCursor* c) { return put_bytes(c, bytes.data(), 5); }},
      {"get_u8", 1, [](QmiCursor* c) { return get_u8(c, &u8); }},
      {"get_u16", 2, [](QmiCursor* c) { return get_u16(c, &u16); }},
      {"get_u32", 4, [](QmiCursor* c) { return get_u32(c, &u32); }},
      {"get_u64", 8, [](QmiCursor* c) { return get_u64(c, &u64); }},
      {"get_u16_be", 2, [](QmiCursor* c) { return get_u16_be(c, &u16); }},
      {"get_bytes", 5, [](QmiCursor* c) { return get_bytes(c, bytes.data(), 5); }},
      {"skip", 5, [](QmiCursor* c) { return skip(c, 5); }},
  };
}

// Each primitive succeeds when its bytes end exactly at size, fails with 3 one
// byte later, and then leaves the index and every byte past size alone.
TEST(Cursor, IndexedPrimitivesStopAtTheirBound) {
  for (const IndexedCase& p : indexed_primitives()) {
    for (uint16_t index = 0; index <= 12; ++index) {
      std::array<uint8_t, 32> buffer;
      buffer.fill(kFill);
      const uint16_t size = 12;
      QmiCursor c{size, index, buffer.data()};
      const uint32_t status = p.run(&c);
      const std::string where = std::string(p.name) + " at index " + std::to_string(index);
      if (index + p.width <= size) {
        EXPECT_EQ(0u, status) << where;
        EXPECT_EQ(index + p.width, c.index) << where;
      } else {
        EXPECT_EQ(3u, status) << where;
        EXPECT_EQ(index, c.index) << where;
        for (uint8_t b : buffer) ASSERT_EQ(kFill, b) << where;
      }
      for (size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(kFill, buffer[i]) << where;
      EXPECT_EQ(size, c.size) << where;
    }
  }
}

TEST(Cursor, FailedReadsLeaveTheDestinationAlone) {
  uint8_t data[3] = {1, 2, 3};
  QmiCursor c{3, 0, data};
  uint32_t u32 = 0xDEADBEEF;
  uint64_t u64 = 0x0123456789ABCDEF;
  EXPECT_EQ(3u, get_u32(&c, &u32));
  EXPECT_EQ(3u, get_u64(&c, &u64));
  EXPECT_EQ(0xDEADBEEFu, u32);
  EXPECT_EQ(0x0123456789ABCDEFu, u64);
  c.index = 2;
  uint16_t u16 = 0x5555;
  EXPECT_EQ(3u, get_u16(&c, &u16));
  EXPECT_EQ(3u, get_u16_be(&c, &u16));
  EXPECT_EQ(0x5555u, u16);
}

TEST(Cursor, LittleAndBigEndianByteOrder) {
  std::array<uint8_t, 17> buffer{};
  QmiCursor c{17, 0, buffer.data()};
  ASSERT_EQ(0u, put_u8(&c, 0x01));
  ASSERT_EQ(0u, put_u16(&c, 0x0302));
  ASSERT_EQ(0u, put_u32(&c, 0x07060504));
  ASSERT_EQ(0u, put_u64(&c, 0x0F0E0D0C0B0A0908));
  ASSERT_EQ(0u, put_u16_be(&c, 0x1011));
  const std::array<uint8_t, 17> expected{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_EQ(expected, buffer);

  c.index = 0;
  uint8_t u8 = 0;
  uint16_t u16 = 0, be = 0;
  uint32_t u32 = 0;
  uint64_t u64 = 0;
  ASSERT_EQ(0u, get_u8(&c, &u8));
  ASSERT_EQ(0u, get_u16(&c, &u16));
  ASSERT_EQ(0u, get_u32(&c, &u32));
  ASSERT_EQ(0u, get_u64(&c, &u64));
  ASSERT_EQ(0u, get_u16_be(&c, &be));
  EXPECT_EQ(0x01u, u8);
  EXPECT_EQ(0x0302u, u16);
  EXPECT_EQ(0x07060504u, u32);
  EXPECT_EQ(0x0F0E0D0C0B0A0908u, u64);
  EXPECT_EQ(0x1011u, be);
  EXPECT_EQ(17u, c.index);
}

TEST(Cursor, PositionalWritesCheckTheirBoundAndKeepTheIndex) {
  struct Case {
    uint32_t position;
    bool u8_fits;
    bool u16_fits;
  };
  const Case cases[] = {{0, true, true},   {4, true, true},        {5, true, false},
                        {6, false, false}, {0xFFFF, false, false}, {0xFFFFFFFF, false, false}};
  for (const Case& k : cases) {
    std::array<uint8_t, 8> buffer;
    buffer.fill(kFill);
    QmiCursor c{6, 3, buffer.data()};
    EXPECT_EQ(k.u8_fits ? 0u : 3u, put_u8_at(&c, k.position, 0x42)) << k.position;
    EXPECT_EQ(k.u16_fits ? 0u : 3u, put_u16_at(&c, k.position, 0x2211)) << k.position;
    EXPECT_EQ(3u, c.index);
    EXPECT_EQ(kFill, buffer[6]);
    EXPECT_EQ(kFill, buffer[7]);
    if (k.u16_fits) {
      EXPECT_EQ(0x11, buffer[k.position]);
      EXPECT_EQ(0x22, buffer[k.position + 1]);
    }
  }
}

TEST(Cursor, PutBytesWritesAllOrNothing) {
  const uint8_t source[4] = {1, 2, 3, 4};
  std::array<uint8_t, 6> buffer;
  buffer.fill(kFill);
  QmiCursor c{5, 2, buffer.data()};
  EXPECT_EQ(3u, put_bytes(&c, source, 4));
  EXPECT_EQ(2u, c.index);
  for (uint8_t b : buffer) EXPECT_EQ(kFill, b);
  EXPECT_EQ(0u, put_bytes(&c, source, 3));
  EXPECT_EQ(5u, c.index);
  EXPECT_EQ((std::array<uint8_t, 6>{kFill, kFill, 1, 2, 3, kFill}), buffer);
  EXPECT_EQ(0u, put_bytes(&c, nullptr, 0));
}

TEST(Cursor, GetBytesPastTheEndKeepsWhatArrivedAndTheIndex) {
  uint8_t data[5] = {1, 2, 3, 4, 5};
  QmiCursor c{5, 2, data};
  uint8_t out[4] = {0, 0, 0, 0};
  EXPECT_EQ(3u, get_bytes(&c, out, 4));
  EXPECT_EQ(2u, c.index);
  EXPECT_EQ(3, out[0]);
  EXPECT_EQ(5, out[2]);
  EXPECT_EQ(0, out[3]);
}

TEST(Cursor, SkipOfHugeCountsDoesNotWrap) {
  uint8_t data[4] = {};
  QmiCursor c{4, 1, data};
  EXPECT_EQ(3u, skip(&c, 0xFFFFFFFF));
  EXPECT_EQ(3u, skip(&c, 0x10000 - 1));
  EXPECT_EQ(1u, c.index);
  EXPECT_EQ(0u, skip(&c, 3));
  EXPECT_EQ(0u, skip(&c, 0));
  EXPECT_EQ(4u, c.index);
}

// The value of a TLV of type 0x5A and length 0x0102 starts at index 3.
TEST(Cursor, PeekReadsTheHeaderBeforeTheValue) {
  uint8_t data[5] = {0x5A, 0x02, 0x01, 0x77, 0x88};
  QmiCursor c{5, 3, data};
  uint8_t type = 0;
  uint16_t length = 0;
  ASSERT_EQ(0u, peek_tlv_type(&c, &type));
  ASSERT_EQ(0u, peek_tlv_length(&c, &length));
  EXPECT_EQ(0x5A, type);
  EXPECT_EQ(0x0102, length);
  EXPECT_EQ(3u, c.index);
}

TEST(Cursor, PeekTooCloseToTheStartFails) {
  uint8_t data[4] = {9, 9, 9, 9};
  for (uint16_t index = 0; index < 3; ++index) {
    QmiCursor c{4, index, data};
    uint8_t type = 0;
    uint16_t length = 0;
    EXPECT_EQ(3u, peek_tlv_type(&c, &type)) << index;
    EXPECT_EQ(index < 2 ? 3u : 0u, peek_tlv_length(&c, &length)) << index;
    EXPECT_EQ(0, type);
  }
}

TEST(Cursor, NullPointersAreRejected) {
  uint8_t data[4] = {};
  QmiCursor c{4, 0, data};
  EXPECT_EQ(4u, put_u8(nullptr, 1));
  EXPECT_EQ(4u, get_u16(&c, nullptr));
  EXPECT_EQ(4u, get_u16_be(&c, nullptr));
  EXPECT_EQ(4u, get_bytes(&c, nullptr, 2));
  EXPECT_EQ(4u, put_bytes(&c, nullptr, 2));
  EXPECT_EQ(4u, peek_tlv_type(nullptr, data));
  EXPECT_EQ(0u, c.index);
}

}  // namespace
