#include "qmux/reassembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace vant::qmux {
namespace {

using Bytes = std::vector<uint8_t>;

Frame make_frame(uint16_t transaction, Bytes tlvs = {0x01, 0x01, 0x00, 0x03}) {
  Frame f;
  f.service = 0x03;
  f.client_id = 0x02;
  f.transaction = transaction;
  f.message_id = 0x0021;
  f.tlvs = std::move(tlvs);
  return f;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<Frame> drain(Reassembler& r) {
  std::vector<Frame> frames;
  while (auto f = r.next()) frames.push_back(std::move(*f));
  return frames;
}

std::vector<uint16_t> transactions(const std::vector<Frame>& frames) {
  std::vector<uint16_t> out;
  for (const auto& f : frames) out.push_back(f.transaction);
  return out;
}

// Feeds the stream in two reads split at cut and collects what comes out.
std::vector<Frame> drain_split(const Bytes& stream, size_t cut, Reassembler& r) {
  r.feed(std::span<const uint8_t>(stream).first(cut));
  auto frames = drain(r);
  r.feed(std::span<const uint8_t>(stream).subspan(cut));
  const auto rest = drain(r);
  frames.insert(frames.end(), rest.begin(), rest.end());
  return frames;
}

TEST(Reassembler, SplitAtEveryByteYieldsBothFrames) {
  const Bytes stream = concat({encode_frame(make_frame(1)), encode_frame(make_frame(2))});
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    Reassembler r;
    EXPECT_EQ((std::vector<uint16_t>{1, 2}), transactions(drain_split(stream, cut, r)))
        << "cut at " << cut;
    EXPECT_EQ(0u, r.pending());
    EXPECT_EQ(0u, r.discarded_bytes());
  }
}

TEST(Reassembler, ByteByByteFeeding) {
  const Bytes stream = concat({encode_frame(make_frame(7)), encode_frame(make_frame(8))});
  Reassembler r;
  std::vector<Frame> frames;
  for (uint8_t b : stream) {
    r.feed(std::span<const uint8_t>(&b, 1));
    for (auto& f : drain(r)) frames.push_back(f);
  }
  EXPECT_EQ((std::vector<uint16_t>{7, 8}), transactions(frames));
  EXPECT_EQ(make_frame(7), frames.at(0));
}

// Each row puts junk in front of, or in the place of, a valid frame; the
// frames around it must still come out, the junk must not.
TEST(Reassembler, ResynchronisesAfterJunk) {
  Bytes lying_length = encode_frame(make_frame(90));
  lying_length[1] = 0x40;  // claims 0x40 bytes, TLV length disagrees
  Bytes lying_both = encode_frame(make_frame(91));
  lying_both[1] += 2;  // length and TLV length agree, but the TLV runs short
  lying_both[11] += 2;
  Bytes bad_flags = encode_frame(make_frame(92));
  bad_flags[3] = 0x01;
  Bytes tlv_past_end = encode_frame(make_frame(93));
  tlv_past_end[14] = 0x09;
  struct Row {
    const char* what;
    Bytes junk;
  };
  const Row rows[] = {
      {"garbage without markers", {0xFF, 0x00, 0x7E, 0x80}},
      {"garbage holding a marker", {0x55, 0x01, 0x05, 0x00, 0x80}},
      {"a lone marker", {0x01}},
      {"a marker and a huge length", {0x01, 0xFF, 0xFF, 0x00}},
      {"a length that lies", lying_length},
      {"length and TLV length that lie together", lying_both},
      {"unknown control flags", bad_flags},
      {"a TLV running past the end", tlv_past_end},
  };
  for (const auto& row : rows) {
    const Bytes stream =
        concat({encode_frame(make_frame(1)), row.junk, encode_frame(make_frame(2))});
    Reassembler r;
    r.feed(stream);
    auto frames = drain(r);
    EXPECT_EQ((std::vector<uint16_t>{1, 2}), transactions(frames)) << row.what;
    EXPECT_EQ(0u, r.pending()) << row.what;
  }
}

TEST(Reassembler, JunkSplitAtEveryByte) {
  const Bytes stream =
      concat({Bytes{0x01, 0x0C, 0x00, 0x00, 0x03}, encode_frame(make_frame(1)), Bytes{0x01, 0x01}});
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    Reassembler r;
    EXPECT_EQ((std::vector<uint16_t>{1}), transactions(drain_split(stream, cut, r)))
        << "cut at " << cut;
  }
}

TEST(Reassembler, AbandonedPartialFrameFreesTheStream) {
  // A header that passes every early check, then the bytes stop.
  const Bytes truncated = {0x01, 0x20, 0x00, 0x00, 0x03, 0x02, 0x00, 0x01, 0x00, 0x21, 0x00};
  Reassembler r;
  r.feed(truncated);
  EXPECT_FALSE(r.next());
  EXPECT_EQ(truncated.size(), r.pending());
  r.abandon_partial();
  EXPECT_FALSE(r.next());
  r.feed(encode_frame(make_frame(5)));
  const auto frames = drain(r);
  EXPECT_EQ((std::vector<uint16_t>{5}), transactions(frames));
  EXPECT_EQ(truncated.size(), r.discarded_bytes());
}

TEST(Reassembler, RandomNoiseNeverCrashesAndFramesSurvive) {
  uint32_t seed = 12345;
  auto rand8 = [&] {
    seed = seed * 1103515245 + 12345;
    return static_cast<uint8_t>(seed >> 16);
  };
  Bytes stream;
  std::vector<uint16_t> sent;
  for (uint16_t t = 1; t <= 50; ++t) {
    Bytes noise(rand8() % 12);
    for (auto& b : noise) b = rand8() % 4 == 0 ? 0x01 : rand8();
    // Noise that does not start a plausible header cannot swallow a frame.
    if (!noise.empty()) noise.back() = 0xEE;
    stream = concat({stream, noise, encode_frame(make_frame(t))});
    sent.push_back(t);
  }
  Reassembler r;
  std::vector<Frame> frames;
  for (size_t i = 0; i < stream.size(); i += 7) {
    r.feed(std::span<const uint8_t>(stream).subspan(i, std::min<size_t>(7, stream.size() - i)));
    for (auto& f : drain(r)) frames.push_back(f);
  }
  const auto got = transactions(frames);
  // Every frame sent arrives, in order; noise may at most add frames of its own.
  size_t j = 0;
  for (uint16_t t : got) {
    if (j < sent.size() && t == sent[j]) ++j;
  }
  EXPECT_EQ(sent.size(), j);
}

}  // namespace
}  // namespace vant::qmux
