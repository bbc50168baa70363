#include "qmux/mbim_receiver.h"

#include <algorithm>

namespace vant::qmux::mbim {

void Receiver::feed(std::span<const uint8_t> bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  if (start_ == buffer_.size()) since_ = now;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
  start_ = 0;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<Received> Receiver::next(Clock::time_point now) {
  while (ready_.empty()) {
    const auto transfer = next_transfer(now);
    if (!transfer) return std::nullopt;
    take(*transfer, now);
  }
  Received out = std::move(ready_.front());
  ready_.pop_front();
  return out;
}

std::optional<Transfer> Receiver::next_transfer(Clock::time_point now) {
  const std::span<const uint8_t> unread = std::span(buffer_).subspan(start_);
  if (unread.empty()) return std::nullopt;
  Transfer transfer;
  size_t size = 0;
  switch (parse_transfer(unread, transfer, size)) {
    case ParseStatus::incomplete:
      return std::nullopt;
    case ParseStatus::invalid:
      discard_buffer();
      return std::nullopt;
    case ParseStatus::ok:
      break;
  }
  start_ += size;
  since_ = now;     // what follows began no earlier than this
  return transfer;  // its body is taken before the buffer changes
}

void Receiver::take(const Transfer& transfer, Clock::time_point now) {
  const Key key{static_cast<uint32_t>(transfer.type), transfer.transaction};
  if (transfer.fragment == 0) {
    begin(key, transfer, now);
  } else {
    add(key, transfer, now);
  }
}

void Receiver::begin(const Key& key, const Transfer& transfer, Clock::time_point now) {
  // A new message on a transaction still under way ends the one before.
  if (under_way_.contains(key)) fail(key, ProtocolError::fragment_out_of_sequence);
  if (transfer.total_fragments == 1) {
    Message message;
    if (decode_single(transfer, message)) {
      ready_.push_back({ProtocolError::none, transfer.transaction, std::move(message)});
    } else {
      ready_.push_back({ProtocolError::length_mismatch, transfer.transaction, {}});
    }
    return;
  }
  if (transfer.total_fragments > kMaxFragments) {
    ready_.push_back({ProtocolError::length_mismatch, transfer.transaction, {}});
    return;
  }
  make_room();
  UnderWay& u = under_way_[key];
  u.total = transfer.total_fragments;
  u.next_fragment = 1;
  u.body.assign(transfer.body.begin(), transfer.body.end());
  u.last = now;
}

void Receiver::add(const Key& key, const Transfer& transfer, Clock::time_point now) {
  const auto it = under_way_.find(key);
  if (it == under_way_.end()) {
    ready_.push_back({ProtocolError::fragment_out_of_sequence, key.second, {}});
    return;
  }
  UnderWay& u = it->second;
  if (transfer.total_fragments != u.total || transfer.fragment != u.next_fragment)
    return fail(key, ProtocolError::fragment_out_of_sequence);
  if (u.body.size() + transfer.body.size() > kMaxMessageBody)
    return fail(key, ProtocolError::length_mismatch);
  u.body.insert(u.body.end(), transfer.body.begin(), transfer.body.end());
  u.last = now;
  if (++u.next_fragment < u.total) return;
  Message message;
  if (!decode_body(transfer.type, transfer.transaction, u.body, message))
    return fail(key, ProtocolError::length_mismatch);
  under_way_.erase(it);
  ready_.push_back({ProtocolError::none, key.second, std::move(message)});
}

void Receiver::fail(Key key, ProtocolError error) {
  under_way_.erase(key);
  ready_.push_back({error, key.second, {}});
}

// The message that waited longest makes way for a new one.
void Receiver::make_room() {
  if (under_way_.size() < kMaxMessagesUnderWay) return;
  const auto oldest =
      std::min_element(under_way_.begin(), under_way_.end(),
                       [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
  fail(oldest->first, ProtocolError::fragment_out_of_sequence);
}

void Receiver::discard_buffer() {
  discarded_bytes_ += buffer_.size() - start_;
  buffer_.clear();
  start_ = 0;
}

std::optional<Receiver::Clock::time_point> Receiver::deadline() const {
  std::optional<Clock::time_point> due;
  if (start_ < buffer_.size()) due = since_ + kPartialTransferTimeout;
  for (const auto& [key, u] : under_way_) {
    const auto at = u.last + kFragmentTimeout;
    if (!due || at < *due) due = at;
  }
  return due;
}

std::vector<Received> Receiver::expire(Clock::time_point now) {
  std::vector<Received> given_up;
  if (start_ < buffer_.size() && now >= since_ + kPartialTransferTimeout) discard_buffer();
  for (auto it = under_way_.begin(); it != under_way_.end();) {
    if (now < it->second.last + kFragmentTimeout) {
      ++it;
      continue;
    }
    given_up.push_back({ProtocolError::timeout_fragment, it->first.second, {}});
    it = under_way_.erase(it);
  }
  return given_up;
}

}  // namespace vant::qmux::mbim
