// Registration and system selection preference requests: the exact TLVs each
// input produces.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sdk/nas/nas_messages.h"
#include "tests/nas/wire.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

Bytes pack_register(uint32_t action, uint16_t mcc, uint16_t mnc, uint32_t rat) {
  const nas::RegisterNetworkInput input{action, mcc, mnc, rat};
  return packed([&](uint16_t* n, uint8_t* b) { return nas::pack_register_network(n, b, &input); });
}

SelectionPreferenceRequest with_main(const SelectionPreference* main) {
  SelectionPreferenceRequest request{};
  request.main = main;
  return request;
}

Bytes pack_selection(const SelectionPreferenceRequest& request, uint32_t* status = nullptr) {
  return packed(
      [&](uint16_t* n, uint8_t* b) { return nas::pack_set_selection_preference(n, b, &request); },
      status);
}

TEST(RegisterNetwork, AutomaticSendsOnlyTheAction) {
  EXPECT_EQ((Bytes{0x22, 0x00, 0x04, 0x00, 0x01, 0x01, 0x00, 0x01}), pack_register(1, 310, 260, 8));
}

TEST(RegisterNetwork, ManualAlsoNamesTheNetwork) {
  EXPECT_EQ((Bytes{0x22, 0x00, 0x0C, 0x00, 0x01, 0x01, 0x00, 0x02, 0x10, 0x05, 0x00, 0x36, 0x01,
                   0x04, 0x01, 0x08}),
            pack_register(2, 310, 260, 8));
  // Only the low bytes of action and rat go on the wire.
  const Bytes wide = pack_register(0x0102, 1, 2, 0x0305);
  EXPECT_EQ(0x02, wide[7]);
  EXPECT_EQ(0x05, wide.back());
}

TEST(SelectionPreference, NetworkSelectionAndPref17) {
  const NetworkSelection selection{1, 310, 26};
  const uint8_t pref17 = 0x5A;
  SelectionPreference main{};
  main.networkSelection = &selection;
  main.pref17 = &pref17;
  const SelectionPreferenceRequest request = with_main(&main);
  EXPECT_EQ((Bytes{0x33, 0x00, 0x0C, 0x00, 0x16, 0x05, 0x00, 0x01, 0x36, 0x01, 0x1A, 0x00, 0x17,
                   0x01, 0x00, 0x5A}),
            pack_selection(request));
}

TEST(SelectionPreference, EmptyByteListSendsItsCountAlone) {
  const SelectionByteList empty{0, nullptr};
  SelectionPreference main{};
  main.pref1E = &empty;
  EXPECT_EQ((Bytes{0x33, 0x00, 0x04, 0x00, 0x1E, 0x01, 0x00, 0x00}),
            pack_selection(with_main(&main)));
}

// Every TLV given at once: the types in table order, each with its width.
TEST(SelectionPreference, AllTwentyThreeTlvsInTableOrder) {
  const uint8_t b = 0xB1;
  const uint16_t w = 0xB2B3;
  const uint32_t d = 0xB4B5B6B7;
  const uint64_t q = 0x0102030405060708;
  const NetworkSelection selection{2, 1, 1};
  const uint8_t list_bytes[3] = {7, 8, 9};
  const SelectionByteList byte_list{3, list_bytes};
  const SelectionPreference20 p20{1, 2, 3, 4, 5};
  const SelectionValues256 quad{{1, 2, 3, 4}};
  const uint32_t list_words[2] = {10, 11};
  const SelectionWordList word_list{2, list_words};
  const SelectionPreference main{&b, &w, &q, &w, &w,         &q, &selection, &b,
                                 &b, &d, &d, &q, &byte_list, &d, &p20,       &b};
  const SelectionPreferenceRequest request{&main, &quad, &q, &q, &q, &d, &word_list, &quad};

  const std::vector<std::pair<uint8_t, uint16_t>> expected = {
      {0x10, 1},  {0x11, 2}, {0x12, 8}, {0x13, 2}, {0x14, 2}, {0x15, 8}, {0x16, 5},  {0x17, 1},
      {0x1A, 1},  {0x1B, 4}, {0x1C, 4}, {0x1D, 8}, {0x1E, 4}, {0x1F, 4}, {0x20, 10}, {0x22, 1},
      {0x24, 32}, {0x26, 8}, {0x27, 8}, {0x28, 8}, {0x29, 4}, {0x2A, 9}, {0x2B, 32},
  };
  const Bytes message = pack_selection(request);
  ASSERT_GE(message.size(), 4u);
  std::vector<std::pair<uint8_t, uint16_t>> seen;
  for (size_t at = 4; at + 3 <= message.size();) {
    const uint16_t length = static_cast<uint16_t>(message[at + 1] | (message[at + 2] << 8));
    seen.emplace_back(message[at], length);
    at += 3u + length;
  }
  EXPECT_EQ(expected, seen);
}

TEST(SelectionPreference, CountedAndCompositeValuesAreLittleEndianInOrder) {
  const uint32_t words[2] = {0x0A0B0C0D, 2};
  const SelectionWordList list{2, words};
  const SelectionPreference20 p20{0x0102, 0x0304, 0x05, 0x06070809, 0x0A};
  SelectionPreference main{};
  main.pref20 = &p20;
  SelectionPreferenceRequest request = with_main(&main);
  request.ext2A = &list;
  EXPECT_EQ(
      (Bytes{0x33, 0x00, 25,   0x00, 0x20, 10, 0,    0x02, 0x01, 0x04, 0x03, 0x05, 0x09, 0x08, 0x07,
             0x06, 0x0A, 0x2A, 9,    0,    2,  0x0D, 0x0C, 0x0B, 0x0A, 2,    0,    0,    0}),
      pack_selection(request));
}

TEST(SelectionPreferenceApi, NothingToSetIsRefused) {
  SelectionPreference main{};
  SelectionPreferenceRequest request = with_main(&main);
  SelectionPreferenceRequest no_main{};
  EXPECT_EQ(kInvalidArgument, VANTNASSetSelectionPreference(nullptr));
  EXPECT_EQ(kInvalidArgument, VANTNASSetSelectionPreference(&no_main));
  EXPECT_EQ(kInvalidArgument, VANTNASSetSelectionPreference(&request));
  EXPECT_EQ(kInvalidArgument, VANTNASSetNetworkPreference(nullptr));
  EXPECT_EQ(kInvalidArgument, VANTNASSetNetworkPreference(&main));
}

// Each of the members of TLVs 0x1D, 0x1E, 0x1F and 0x20 on its own is a real
// request: it passes the argument check and goes to the request engine, which
// without a connected modem answers 6.
TEST(SelectionPreferenceApi, EveryMemberCountsAsSomethingToSet) {
  const uint64_t q = 1;
  const uint32_t d = 2;
  const SelectionByteList empty{0, nullptr};
  const SelectionPreference20 p20{};
  SelectionPreference only[4]{};
  only[0].pref1D = &q;
  only[1].pref1E = &empty;
  only[2].pref1F = &d;
  only[3].pref20 = &p20;
  for (SelectionPreference& main : only) EXPECT_EQ(kNoDevice, VANTNASSetNetworkPreference(&main));
}

// A list that claims elements but gives no storage fails to pack with 4,
// before anything is sent.
TEST(SelectionPreferenceApi, ListWithoutStorageIsRefused) {
  const SelectionByteList bytes{1, nullptr};
  SelectionPreference main{};
  main.pref1E = &bytes;
  EXPECT_EQ(kInvalidArgument, VANTNASSetNetworkPreference(&main));
  const SelectionWordList words{1, nullptr};
  SelectionPreference none{};
  SelectionPreferenceRequest request = with_main(&none);
  request.ext2A = &words;
  EXPECT_EQ(kInvalidArgument, VANTNASSetSelectionPreference(&request));
}

}  // namespace
}  // namespace vant::test
