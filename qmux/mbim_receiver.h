// Turns the bytes read off an MBIM control node into whole messages: a read
// may hold part of a transfer or several (a pseudo-terminal is a byte
// stream), and a message may come in fragments that are joined here.
//
// Everything is bounded: a transfer's length, the fragments of a message and
// their joined size, and the messages under way (one per transaction). Bytes
// that do not begin a transfer are thrown away with whatever else is
// buffered: MBIM has no marker to resynchronise on, and a control node hands
// out one transfer per read. A transfer begun but not finished, and the
// fragments of a message whose next fragment does not come, are given up
// after a while.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "qmux/mbim_message.h"

namespace vant::qmux::mbim {

// A message, or why one could not be had (for the peer: FUNCTION_ERROR or
// HOST_ERROR with that transaction).
struct Received {
  ProtocolError error = ProtocolError::none;
  uint32_t transaction = 0;
  Message message;  // when error is none

  bool ok() const { return error == ProtocolError::none; }
};

class Receiver {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kPartialTransferTimeout{500};
  // MBIM's own time between two fragments of a message.
  static constexpr std::chrono::milliseconds kFragmentTimeout{1250};
  // Enough for the largest body in the smallest transfers.
  static constexpr uint32_t kMaxFragments = 2048;
  static constexpr size_t kMaxMessagesUnderWay = 4;

  void feed(std::span<const uint8_t> bytes, Clock::time_point now);
  // The next message or failure; nothing until more bytes come.
  std::optional<Received> next(Clock::time_point now);

  // When something under way is given up; nothing while nothing is.
  std::optional<Clock::time_point> deadline() const;
  // Gives up what is due: a partial transfer is thrown away, a message
  // under way fails with timeout_fragment.
  std::vector<Received> expire(Clock::time_point now);

  uint64_t discarded_bytes() const { return discarded_bytes_; }

 private:
  struct UnderWay {
    uint32_t total = 0;
    uint32_t next_fragment = 0;
    std::vector<uint8_t> body;
    Clock::time_point last{};
  };
  using Key = std::pair<uint32_t, uint32_t>;  // type, transaction

  // One transfer off the stream, or nothing while none is whole.
  std::optional<Transfer> next_transfer(Clock::time_point now);
  void take(const Transfer& transfer, Clock::time_point now);
  void begin(const Key& key, const Transfer& transfer, Clock::time_point now);
  void add(const Key& key, const Transfer& transfer, Clock::time_point now);
  void fail(Key key, ProtocolError error);  // by value: it may name the entry erased
  void make_room();
  void discard_buffer();

  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  Clock::time_point since_{};  // when the transfer at start_ began
  std::map<Key, UnderWay> under_way_;
  std::deque<Received> ready_;  // handed out before the next transfer is looked at
  uint64_t discarded_bytes_ = 0;
};

}  // namespace vant::qmux::mbim
