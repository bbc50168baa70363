#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "vantsdk/qmi_codec.h"

namespace {

// A request's input record with optional fields, as request functions have.
struct Input {
  const uint32_t* word = nullptr;
  const uint8_t* byte = nullptr;
  uint16_t filler = 0;  // bytes of 0x5C written by pack_filler
  uint32_t failure = 0;
};

const Input& in(const void* input) {
  return *static_cast<const Input*>(input);
}

uint32_t pack_word(QmiCursor* c, const void* input) {
  return in(input).word ? put_u32(c, *in(input).word) : 0;
}
uint32_t pack_byte(QmiCursor* c, const void* input) {
  return in(input).byte ? put_u8(c, *in(input).byte) : 0;
}
uint32_t pack_empty(QmiCursor*, const void*) {
  return TLV_PRESENT_EMPTY;
}
uint32_t pack_failure(QmiCursor*, const void* input) {
  return in(input).failure;
}
uint32_t pack_filler(QmiCursor* c, const void* input) {
  static const std::array<uint8_t, REQUEST_CAPACITY> kFiller = [] {
    std::array<uint8_t, REQUEST_CAPACITY> a;
    a.fill(0x5C);
    return a;
  }();
  return put_bytes(c, kFiller.data(), in(input).filler);
}
uint32_t pack_backwards(QmiCursor* c, const void*) {
  c->index -= 4;
  return 0;
}

constexpr uint8_t kGuard = 0xEE;

struct Packed {
  uint32_t status;
  uint16_t length;
  std::vector<uint8_t> buffer;  // REQUEST_CAPACITY bytes and a guard area

  std::vector<uint8_t> message() const { return {buffer.begin(), buffer.begin() + 4 + length}; }
};

Packed pack(TlvTable table, const Input& input, uint16_t id = 0x5568) {
  Packed p{0, 0xBEEF, std::vector<uint8_t>(REQUEST_CAPACITY + 64, kGuard)};
  p.status = pack_request(p.buffer.data(), &input, table, id, &p.length);
  return p;
}

TEST(PackRequest, EndRowOnlyGivesTheBareHeader) {
  constexpr TlvEntry kTable[] = {{kTlvEnd, nullptr}};
  const Packed p = pack(kTable, Input{}, 0x1234);
  ASSERT_EQ(0u, p.status);
  EXPECT_EQ(0u, p.length);
  EXPECT_EQ((std::vector<uint8_t>{0x34, 0x12, 0x00, 0x00}), p.message());
}

TEST(PackRequest, TlvsFollowTableOrderLittleEndian) {
  constexpr TlvEntry kTable[] = {{0x11, &pack_byte}, {0x10, &pack_word}, {kTlvEnd, nullptr}};
  const uint32_t word = 0xA1B2C3D4;
  const uint8_t byte = 0x7F;
  const Packed p = pack(kTable, Input{&word, &byte});
  ASSERT_EQ(0u, p.status);
  EXPECT_EQ(11u, p.length);
  EXPECT_EQ((std::vector<uint8_t>{0x68, 0x55, 0x0B, 0x00, 0x11, 0x01, 0x00, 0x7F, 0x10, 0x04, 0x00,
                                  0xD4, 0xC3, 0xB2, 0xA1}),
            p.message());
}

TEST(PackRequest, PackerWritingNothingLeavesNoTrace) {
  constexpr TlvEntry kWith[] = {
      {0x10, &pack_word}, {0x11, &pack_byte}, {0x12, &pack_word}, {kTlvEnd, nullptr}};
  constexpr TlvEntry kWithout[] = {{0x10, &pack_word}, {0x12, &pack_word}, {kTlvEnd, nullptr}};
  const uint32_t word = 7;
  const Packed with = pack(kWith, Input{&word, nullptr});
  const Packed without = pack(kWithout, Input{&word, nullptr});
  ASSERT_EQ(0u, with.status);
  ASSERT_EQ(0u, without.status);
  EXPECT_EQ(without.length, with.length);
  EXPECT_EQ(without.message(), with.message());
}

TEST(PackRequest, PresentEmptyGivesTypeAndZeroLength) {
  constexpr TlvEntry kTable[] = {{0x13, &pack_empty}, {kTlvEnd, nullptr}};
  const Packed p = pack(kTable, Input{});
  ASSERT_EQ(0u, p.status);
  EXPECT_EQ((std::vector<uint8_t>{0x68, 0x55, 0x03, 0x00, 0x13, 0x00, 0x00}), p.message());
}

TEST(PackRequest, PackerFailureIsReturnedUnchanged) {
  constexpr TlvEntry kTable[] = {{0x10, &pack_word}, {0x11, &pack_failure}, {kTlvEnd, nullptr}};
  const uint32_t word = 1;
  for (uint32_t failure : {3u, 4u, 5u, 0xE004u}) {
    Input input{&word};
    input.failure = failure;
    const Packed p = pack(kTable, input);
    EXPECT_EQ(failure, p.status);
    EXPECT_EQ(0u, p.length);
  }
}

TEST(PackRequest, PackerMovingTheIndexBackIsAnInternalError) {
  constexpr TlvEntry kTable[] = {{0x10, &pack_backwards}, {kTlvEnd, nullptr}};
  const Packed p = pack(kTable, Input{});
  EXPECT_EQ(2u, p.status);
  EXPECT_EQ(0u, p.length);
}

// Header 4 + TLV header 3 + value: 2022 bytes of value end exactly at the
// capacity; one more fails with 3, sets no length and writes nothing past it.
TEST(PackRequest, CapacityBoundIsExact) {
  constexpr TlvEntry kTable[] = {{0x10, &pack_filler}, {kTlvEnd, nullptr}};
  struct Case {
    uint16_t filler;
    uint32_t status;
    uint16_t length;
  };
  for (const Case& k : {Case{2022, 0, 2025}, Case{2023, 3, 0}, Case{2029, 3, 0}}) {
    Input input;
    input.filler = k.filler;
    const Packed p = pack(kTable, input);
    EXPECT_EQ(k.status, p.status) << k.filler;
    EXPECT_EQ(k.length, p.length) << k.filler;
    for (size_t i = REQUEST_CAPACITY; i < p.buffer.size(); ++i) ASSERT_EQ(kGuard, p.buffer[i]);
  }
}

// With fewer than 3 bytes left, a row fails even when its packer would write
// nothing: the header room is taken before the packer runs.
TEST(PackRequest, NoRoomForATlvHeaderFails) {
  constexpr TlvEntry kTable[] = {{0x10, &pack_filler}, {0x11, &pack_byte}, {kTlvEnd, nullptr}};
  for (uint16_t filler : {2020, 2021}) {
    Input input;
    input.filler = filler;
    const Packed p = pack(kTable, input);
    EXPECT_EQ(3u, p.status) << filler;
    EXPECT_EQ(0u, p.length) << filler;
    for (size_t i = REQUEST_CAPACITY; i < p.buffer.size(); ++i) ASSERT_EQ(kGuard, p.buffer[i]);
  }
  Input input;
  input.filler = 2019;
  EXPECT_EQ(0u, pack(kTable, input).status);
}

TEST(PackRequest, NullPointersAreRejected) {
  constexpr TlvEntry kTable[] = {{kTlvEnd, nullptr}};
  uint8_t buffer[REQUEST_CAPACITY];
  uint16_t length = 0;
  EXPECT_EQ(4u, pack_request(nullptr, nullptr, kTable, 1, &length));
  EXPECT_EQ(4u, pack_request(buffer, nullptr, nullptr, 1, &length));
  EXPECT_EQ(4u, pack_request(buffer, nullptr, kTable, 1, nullptr));
  EXPECT_EQ(0u, pack_request(buffer, nullptr, kTable, 1, &length));
}

}  // namespace
