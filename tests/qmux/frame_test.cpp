#include "qmux/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace vant::qmux {
namespace {

using Bytes = std::vector<uint8_t>;

Frame nas_request() {
  Frame f;
  f.service = 0x03;
  f.client_id = 0x07;
  f.transaction = 0x1234;
  f.message_id = 0x0043;
  f.tlvs = {0x10, 0x02, 0x00, 0xAA, 0xBB};
  return f;
}

TEST(Frame, EncodesServiceFrameByteExact) {
  const Bytes expected = {0x01, 0x11, 0x00, 0x00, 0x03, 0x07, 0x00, 0x34, 0x12,
                          0x43, 0x00, 0x05, 0x00, 0x10, 0x02, 0x00, 0xAA, 0xBB};
  EXPECT_EQ(expected, encode_frame(nas_request()));
}

TEST(Frame, EncodesCtlFrameWithOneByteTransaction) {
  Frame f;
  f.sender = Sender::modem;
  f.kind = MessageKind::response;
  f.transaction = 0x42;
  f.message_id = 0x0022;
  const Bytes expected = {0x01, 0x0B, 0x00, 0x80, 0x00, 0x00, 0x01, 0x42, 0x22, 0x00, 0x00, 0x00};
  EXPECT_EQ(expected, encode_frame(f));
}

TEST(Frame, RefusesWhatTheHeaderCannotCarry) {
  Frame ctl;
  ctl.transaction = 0x100;
  Bytes out;
  EXPECT_FALSE(encode_frame(ctl, out));
  Frame big = nas_request();
  big.tlvs.assign(0xFFFF, 0);
  EXPECT_FALSE(encode_frame(big, out));
  EXPECT_TRUE(out.empty());
}

TEST(Frame, KindsUseEachServicesFlags) {
  struct Row {
    uint8_t service;
    MessageKind kind;
    uint8_t flags;
  };
  const Row rows[] = {
      {0x00, MessageKind::request, 0x00},    {0x00, MessageKind::response, 0x01},
      {0x00, MessageKind::indication, 0x02}, {0x03, MessageKind::request, 0x00},
      {0x03, MessageKind::response, 0x02},   {0x03, MessageKind::indication, 0x04},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.flags, sdu_flags(row.service, row.kind));
    EXPECT_EQ(row.kind, kind_from_sdu_flags(row.service, row.flags));
  }
  EXPECT_FALSE(kind_from_sdu_flags(0x00, 0x04));
  EXPECT_FALSE(kind_from_sdu_flags(0x03, 0x01));  // compound
  EXPECT_FALSE(kind_from_sdu_flags(0x03, 0x80));
}

TEST(Frame, RoundTripsEveryKindAndSender) {
  for (auto sender : {Sender::host, Sender::modem}) {
    for (auto kind : {MessageKind::request, MessageKind::response, MessageKind::indication}) {
      for (uint8_t service : {0x00, 0x01, 0x03}) {
        Frame f = nas_request();
        f.sender = sender;
        f.kind = kind;
        f.service = service;
        f.transaction = service == 0 ? 0xFF : 0xFFFF;
        const Bytes bytes = encode_frame(f);
        Frame back;
        size_t size = 0;
        ASSERT_EQ(ParseStatus::ok, parse_frame(bytes, back, size));
        EXPECT_EQ(bytes.size(), size);
        EXPECT_EQ(f, back);
      }
    }
  }
}

TEST(Frame, EveryPrefixIsIncomplete) {
  const Bytes bytes = encode_frame(nas_request());
  for (size_t n = 0; n < bytes.size(); ++n) {
    Frame f;
    size_t size = 0;
    EXPECT_EQ(ParseStatus::incomplete,
              parse_frame(std::span<const uint8_t>(bytes).first(n), f, size))
        << "prefix of " << n << " bytes";
  }
}

// Each row corrupts one field of a valid frame; all must be refused, and as
// early as the header shows it (before the rest of the frame arrives).
TEST(Frame, RefusesCorruptFrames) {
  struct Row {
    const char* what;
    size_t offset;
    uint8_t value;
  };
  const Row rows[] = {
      {"marker", 0, 0x02},
      {"length too short for the headers", 1, 0x08},
      {"length longer than the TLVs", 1, 0x12},
      {"length shorter than the TLVs", 1, 0x10},
      {"control flags", 3, 0x40},
      {"service flags", 6, 0x01},
      {"TLV length field larger", 11, 0x06},
      {"TLV length field smaller", 11, 0x04},
      {"TLV running past the end", 14, 0x03},
      {"TLV shorter than the area", 14, 0x01},
  };
  for (const auto& row : rows) {
    Bytes bytes = encode_frame(nas_request());
    bytes[row.offset] = row.value;
    bytes.resize(bytes.size() + 8, 0);  // enough bytes for any claimed length
    Frame f;
    size_t size = 0;
    EXPECT_EQ(ParseStatus::invalid, parse_frame(bytes, f, size)) << row.what;
  }
}

TEST(Frame, TlvAreaMustBeWholeTlvs) {
  EXPECT_TRUE(tlvs_well_formed(Bytes{}));
  EXPECT_TRUE(tlvs_well_formed(Bytes{0x01, 0x00, 0x00, 0x02, 0x01, 0x00, 0x09}));
  EXPECT_FALSE(tlvs_well_formed(Bytes{0x01, 0x00}));
  EXPECT_FALSE(tlvs_well_formed(Bytes{0x01, 0x02, 0x00, 0x09}));
  EXPECT_FALSE(tlvs_well_formed(Bytes{0x01, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace vant::qmux
