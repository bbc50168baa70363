// Band and 5G messages: what the set request carries, and what each answer
// leaves in the caller's record, where an older and a newer form of an element
// may both come and in either order.
#include <gtest/gtest.h>

#include <tuple>

#include "sdk/nas/band_messages.h"
#include "sdk/nas/nas_messages.h"
#include "tests/nas/wire.h"
#include "vantsdk/bands.h"
#include "vantsdk/result_codes.h"

namespace vant::test {
namespace {

Value u64(uint64_t v) {
  return Value().u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32));
}

Value mask(std::initializer_list<uint64_t> words, size_t count) {
  Value v;
  auto it = words.begin();
  for (size_t i = 0; i < count; ++i) v.raw(u64(it != words.end() ? *it++ : 0));
  return v;
}

template <typename Record>
uint32_t decode(uint32_t (*entry)(const uint8_t*, ResponseContext*), const Bytes& message,
                Record& record) {
  record = {};
  ResponseContext context{};
  context.output = &record;
  return entry(message.data(), &context);
}

TEST(BandPreference, TheExtendedLteMaskWinsOverTheShortOneInEitherOrder) {
  for (bool short_first : {true, false}) {
    Message m(nas::kGetSelectionPreferenceId);
    m.result().tlv(0x11, Value().u16(0x50));
    if (short_first) m.tlv(0x15, u64(0x5));  // bands 1 and 3
    m.tlv(0x23, mask({0x4, 0x2}, 4));        // bands 3 and 66
    if (!short_first) m.tlv(0x15, u64(0x5));
    m.tlv(0x2C, mask({0, 1ull << 13}, 8)).tlv(0x2D, mask({1}, 8));  // n78; n1
    BandPreference p{};
    ASSERT_EQ(kSuccess, decode(nas::unpack_get_band_preference, m.bytes(), p));
    EXPECT_EQ(std::make_tuple(1, 0x50, 1, 1),
              std::make_tuple(p.modeReported, p.modePreference, p.lteReported, p.lteExtended));
    EXPECT_EQ(std::make_tuple(0x4ull, 0x2ull), std::make_tuple(p.lte.words[0], p.lte.words[1]));
    EXPECT_EQ(std::make_tuple(1, 1ull << 13, 1, 1ull),
              std::make_tuple(p.nrSaReported, p.nrSa.words[1], p.nrNsaReported, p.nrNsa.words[0]));
  }
}

TEST(BandPreference, AModemWithoutTheExtendedMaskIsReadThroughTheShortOne) {
  BandPreference p{};
  const auto m = Message(nas::kGetSelectionPreferenceId).result().tlv(0x15, u64(1ull << 63));
  ASSERT_EQ(kSuccess, decode(nas::unpack_get_band_preference, m.bytes(), p));
  EXPECT_EQ(std::make_tuple(1, 0, 1ull << 63, 0, 0),
            std::make_tuple(p.lteReported, p.lteExtended, p.lte.words[0], p.nrSaReported,
                            p.nrNsaReported));
  // A mask cut short fails rather than leave half of it in the record.
  const auto cut = Message(nas::kGetSelectionPreferenceId).result().tlv(0x2C, mask({1}, 7));
  EXPECT_EQ(kMemoryError, decode(nas::unpack_get_band_preference, cut.bytes(), p));
}

TEST(BandPreference, TheSetRequestCarriesTheMasksUnderItsOwnNumbers) {
  LteBandMask lte{{0x4, 0x2, 0, 0}};
  NrBandMask sa{{0, 1ull << 13}};
  const BandPreferenceChange change{&lte, 1, &sa, nullptr, kBandChangePermanent};
  const Bytes set =
      packed([&](uint16_t* n, uint8_t* b) { return nas::pack_set_band_preference(n, b, &change); });
  const Bytes expected = Message(0x0033)
                             .tlv(0x17, Value().u8(1))
                             .tlv(0x24, mask({0x4, 0x2}, 4))
                             .tlv(0x2F, mask({0, 1ull << 13}, 8))
                             .bytes();
  EXPECT_EQ(expected, set);

  const BandPreferenceChange short_form{&lte, 0, nullptr, nullptr, 0};
  uint32_t status = 0;
  packed([&](uint16_t* n, uint8_t* b) { return nas::pack_set_band_preference(n, b, &short_form); },
         &status);
  EXPECT_EQ(kInvalidArgument, status) << "band 66 does not fit the mask of bands 1 to 64";
  lte.words[1] = 0;
  EXPECT_EQ(Message(0x0033).tlv(0x15, u64(0x4)).tlv(0x17, Value().u8(0)).bytes(),
            packed([&](uint16_t* n, uint8_t* b) {
              return nas::pack_set_band_preference(n, b, &short_form);
            }));
}

TEST(BandCapabilities, TheListWinsOverTheMaskAndTooLongAListIsRefused) {
  const Value list = Value().u16(3).u16(1).u16(66).u16(71);
  for (bool mask_first : {true, false}) {
    Message m(nas::kGetBandCapabilitiesId);
    m.result();
    if (mask_first) m.tlv(0x10, u64(0x5));
    m.tlv(0x12, list);
    if (!mask_first) m.tlv(0x10, u64(0x5));
    m.tlv(0x13, Value().u16(2).u16(78).u16(257));
    BandCapabilities caps{};
    ASSERT_EQ(kSuccess, decode(nas::unpack_get_band_capabilities, m.bytes(), caps));
    EXPECT_EQ(std::make_tuple(3, 1, 66, 71),
              std::make_tuple(caps.lteCount, caps.lte[0], caps.lte[1], caps.lte[2]));
    EXPECT_EQ(std::make_tuple(2, 78, 257), std::make_tuple(caps.nrCount, caps.nr[0], caps.nr[1]));
  }
  BandCapabilities caps{};
  const auto old = Message(nas::kGetBandCapabilitiesId).result().tlv(0x10, u64(0x8000000000000005));
  ASSERT_EQ(kSuccess, decode(nas::unpack_get_band_capabilities, old.bytes(), caps));
  EXPECT_EQ(std::make_tuple(3, 1, 3, 64),
            std::make_tuple(caps.lteCount, caps.lte[0], caps.lte[1], caps.lte[2]));
  const auto huge = Message(nas::kGetBandCapabilitiesId).result().tlv(0x13, Value().u16(513));
  EXPECT_EQ(kInvalidQmiResponse, decode(nas::unpack_get_band_capabilities, huge.bytes(), caps));
}

TEST(RfBandInfo, TheExtendedListWithItsWideChannelsWinsInEitherOrder) {
  const Value short_list = Value().u8(1).u8(8).u16(122).u16(1300);
  const Value extended = Value().u8(2).u8(8).u16(122).u32(1300).u8(0x0C).u16(269).u32(632448);
  for (bool short_first : {true, false}) {
    Message m(nas::kGetRfBandInfoId);
    m.result();
    if (short_first) m.tlv(0x01, short_list);
    m.tlv(0x11, extended);
    if (!short_first) m.tlv(0x01, short_list);
    RfBandInfo info{};
    ASSERT_EQ(kSuccess, decode(nas::unpack_get_rf_band_info, m.bytes(), info));
    ASSERT_EQ(2, info.count);
    EXPECT_EQ(std::make_tuple(0x0C, 269, 632448u),
              std::make_tuple(info.bands[1].radioInterface, info.bands[1].activeBand,
                              info.bands[1].channel));
  }
}

TEST(BandNumbers, FollowTheModemsEnumerationNotItsOrder) {
  const struct {
    uint8_t interface;
    uint16_t active;
    uint16_t band;
  } cases[] = {
      {kRadioInterfaceLte, 120, 1},   {kRadioInterfaceLte, 134, 17},
      {kRadioInterfaceLte, 143, 18},  {kRadioInterfaceLte, 161, 66},
      {kRadioInterfaceLte, 168, 71},  {kRadioInterfaceNr5g, 250, 1},
      {kRadioInterfaceNr5g, 269, 78}, {kRadioInterfaceNr5g, 277, 257},
      {kRadioInterfaceNr5g, 282, 12}, {kRadioInterfaceLte, 269, 0},
      {kRadioInterfaceNr5g, 120, 0},  {kRadioInterfaceUmts, 120, 0},
      {kRadioInterfaceLte, 119, 0},   {kRadioInterfaceNr5g, 999, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.band, VANTNASBandNumber(c.interface, c.active))
        << int(c.interface) << " " << c.active;
}

TEST(SignalInfo, SignedValuesAndTheNotConnectedMark) {
  const auto m = Message(nas::kGetSignalInfoId)
                     .result()
                     .tlv(0x14, Value().u8(0xBE).u8(0xF5).u16(0xFF9F).u16(0x0082))
                     .tlv(0x17, Value().u16(0x8000).u16(0x8000))
                     .tlv(0x18, Value().u16(0xFFF6));
  SignalInfo s{};
  ASSERT_EQ(kSuccess, decode(nas::unpack_get_signal_info, m.bytes(), s));
  EXPECT_EQ(std::make_tuple(1, -66, -11, -97, 130),
            std::make_tuple(s.lteReported, s.lteRssi, s.lteRsrq, s.lteRsrp, s.lteSnr));
  EXPECT_EQ(std::make_tuple(1, kSignalNotConnected, kSignalNotConnected, 1, -10),
            std::make_tuple(s.nrReported, s.nrRsrp, s.nrSnr, s.nrRsrqReported, s.nrRsrq));
  EXPECT_EQ(std::make_tuple(0, 0), std::make_tuple(s.gsmReported, s.wcdmaReported));
}

TEST(Nr5gCell, TheTrackingAreaIsBigEndianAndACutCellIsNotReported) {
  const Value cell = Value()
                         .u8(0x13)
                         .u8(0x00)
                         .u8(0x62)  // PLMN 310-260
                         .u8(0x01)
                         .u8(0x02)
                         .u8(0x03)  // TAC 0x010203
                         .raw(u64(0x0123456789ABCDEFull))
                         .u16(501)
                         .u16(0xFF92)   // RSRQ -11.0 dB
                         .u16(0xFC18)   // RSRP -100.0 dBm
                         .u16(0x00C8);  // SNR 20.0 dB
  Nr5gCellInfo n{};
  const auto m = Message(nas::kGetCellLocationInfoId).result().tlv(0x2E, Value().u32(632448));
  ASSERT_EQ(kSuccess,
            decode(nas::unpack_get_nr5g_cell_info, Message(m).tlv(0x2F, cell).bytes(), n));
  EXPECT_EQ(std::make_tuple(1, 632448u, 1, 0x010203u, 0x0123456789ABCDEFull, 501, -110, -1000, 200),
            std::make_tuple(n.arfcnReported, n.arfcn, n.cellReported, n.tac, n.globalCellId, n.pci,
                            n.rsrq, n.rsrp, n.snr));
  EXPECT_EQ(0x62, n.plmn[2]);
  Bytes cut = cell;
  cut.resize(21);
  EXPECT_EQ(kMemoryError,
            decode(nas::unpack_get_nr5g_cell_info, Message(m).tlv(0x2F, cut).bytes(), n));
  EXPECT_EQ(0, n.cellReported);
}

}  // namespace
}  // namespace vant::test
