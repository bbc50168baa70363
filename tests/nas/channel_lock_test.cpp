// Channel-lock messages: the bytes a set request carries, and what a get
// response leaves in the caller's elements.
#include <gtest/gtest.h>

#include "sdk/nas/nas_messages.h"
#include "tests/nas/wire.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

using nas::kGetChannelLockId;

Bytes pack_set(const ChannelLock& lock) {
  return packed([&](uint16_t* n, uint8_t* b) { return nas::pack_set_channel_lock(n, b, &lock); });
}

// Preset and unpack, in the order the request function runs them.
uint32_t decode_get(const Bytes& message, ChannelLock& lock) {
  nas::preset_channel_lock(&lock);
  ResponseContext context{};
  context.output = &lock;
  return nas::unpack_get_channel_lock(message.data(), &context);
}

Message full_get_response() {
  return std::move(Message(kGetChannelLockId)
                       .result()
                       .tlv(0x10, Value().u8(1).u32(10700))
                       .tlv(0x11, Value().u8(1).u32(1300).u32(0))
                       .tlv(0x12, Value().u8(0).u32(6300).u32(42)));
}

TEST(ChannelLockRequest, GetIsAnEmptyMessage) {
  ChannelLock lock{};
  EXPECT_EQ((Bytes{0x68, 0x55, 0x00, 0x00}), packed([&](uint16_t* n, uint8_t* b) {
              return nas::pack_get_channel_lock(n, b, &lock);
            }));
}

TEST(ChannelLockRequest, SetSendsExactlyTheGivenElements) {
  WcdmaUarfcnLock wcdma{1, 10700};
  LteEarfcnLock earfcn{0, 0x01020304, 7};
  LtePciLock pci{1, 1300, 0x01F7};
  const Bytes header_all = {0x69, 0x55, 32, 0x00};

  EXPECT_EQ((Bytes{0x69, 0x55, 0x00, 0x00}), pack_set({nullptr, nullptr, nullptr}));
  EXPECT_EQ((Bytes{0x69, 0x55, 12, 0x00, 0x12, 9, 0, 1, 0x14, 0x05, 0, 0, 0xF7, 0x01, 0, 0}),
            pack_set({nullptr, nullptr, &pci}));
  Bytes all = header_all;
  for (const Bytes& tlv :
       {Bytes{0x10, 5, 0, 1, 0xCC, 0x29, 0, 0}, Bytes{0x11, 9, 0, 0, 4, 3, 2, 1, 7, 0, 0, 0},
        Bytes{0x12, 9, 0, 1, 0x14, 0x05, 0, 0, 0xF7, 0x01, 0, 0}})
    all.insert(all.end(), tlv.begin(), tlv.end());
  EXPECT_EQ(all, pack_set({&wcdma, &earfcn, &pci}));
}

TEST(ChannelLockRequest, StatusZeroIsSentWhileAbsenceSendsNothing) {
  WcdmaUarfcnLock unlock{0, 0};
  EXPECT_EQ((Bytes{0x69, 0x55, 8, 0, 0x10, 5, 0, 0, 0, 0, 0, 0}),
            pack_set({&unlock, nullptr, nullptr}));
  EXPECT_EQ((Bytes{0x69, 0x55, 0, 0}), pack_set({nullptr, nullptr, nullptr}));
}

TEST(ChannelLockResponse, FillsEveryGivenElement) {
  WcdmaUarfcnLock wcdma{};
  LteEarfcnLock earfcn{};
  LtePciLock pci{};
  ChannelLock lock{&wcdma, &earfcn, &pci};
  ASSERT_EQ(0u, decode_get(full_get_response().bytes(), lock));
  EXPECT_EQ(1, wcdma.status);
  EXPECT_EQ(10700u, wcdma.uarfcn);
  EXPECT_EQ(1300u, earfcn.earfcn0);
  EXPECT_EQ(0u, earfcn.earfcn1);
  EXPECT_EQ(0, pci.status);
  EXPECT_EQ(6300u, pci.earfcn);
  EXPECT_EQ(42u, pci.pci);
}

TEST(ChannelLockResponse, OnlyTheGivenMemberIsFilledAndTheOthersAreSteppedOver) {
  LteEarfcnLock earfcn{};
  ChannelLock lock{nullptr, &earfcn, nullptr};
  ASSERT_EQ(0u, decode_get(full_get_response().bytes(), lock));
  EXPECT_EQ(1, earfcn.status);
  EXPECT_EQ(1300u, earfcn.earfcn0);
  EXPECT_EQ(0u, earfcn.earfcn1);
  EXPECT_EQ(nullptr, lock.wcdmaUarfcn);
  EXPECT_EQ(nullptr, lock.ltePci);
}

TEST(ChannelLockResponse, AnUnreportedElementKeepsItsPreset) {
  LteEarfcnLock earfcn{1, 2, 3};
  LtePciLock pci{1, 2, 3};
  ChannelLock lock{nullptr, &earfcn, &pci};
  const Message response =
      std::move(Message(kGetChannelLockId).result().tlv(0x12, Value().u8(1).u32(5).u32(6)));
  ASSERT_EQ(0u, decode_get(response.bytes(), lock));
  EXPECT_EQ(0xFF, earfcn.status);
  EXPECT_EQ(0xFFFFFFFFu, earfcn.earfcn0);
  EXPECT_EQ(0xFFFFFFFFu, earfcn.earfcn1);
  EXPECT_EQ(1, pci.status);
  EXPECT_EQ(5u, pci.earfcn);
  EXPECT_EQ(6u, pci.pci);
}

TEST(ChannelLockResponse, ResultRulesAndTruncation) {
  WcdmaUarfcnLock wcdma{};
  ChannelLock lock{&wcdma, nullptr, nullptr};
  EXPECT_EQ(kInvalidQmiResponse,
            decode_get(Message(kGetChannelLockId).tlv(0x10, Value().u8(1).u32(9)).bytes(), lock));
  EXPECT_EQ(1, wcdma.status) << "TLVs are stored even when the result is missing";
  EXPECT_EQ(kQmiErrorBase + 0x5E,
            decode_get(Message(kGetChannelLockId).result(1, 0x5E).bytes(), lock));
  // The element ends inside the message: the status is read, the UARFCN is not.
  const Message cut =
      std::move(Message(kGetChannelLockId).result().tlv_with_length(0x10, 5, Value().u8(1).u16(7)));
  EXPECT_EQ(kMemoryError, decode_get(cut.bytes(), lock));
  EXPECT_EQ(1, wcdma.status);
  EXPECT_EQ(0xFFFFFFFFu, wcdma.uarfcn);
}

TEST(ChannelLockApi, NullRecordIsRefused) {
  EXPECT_EQ(kInvalidArgument, VANTNASKelGetChannelLock(nullptr));
  EXPECT_EQ(kInvalidArgument, VANTNASKelSetChannelLock(nullptr));
}

// Without a connection to the daemon the request fails before any response,
// and the caller's elements are not preset.
TEST(ChannelLockApi, AFailedExchangeLeavesTheElementsAlone) {
  WcdmaUarfcnLock wcdma{1, 10700};
  ChannelLock lock{&wcdma, nullptr, nullptr};
  EXPECT_EQ(kNoDevice, VANTNASKelGetChannelLock(&lock));
  EXPECT_EQ(1, wcdma.status);
  EXPECT_EQ(10700u, wcdma.uarfcn);
}

}  // namespace
}  // namespace vant::test
