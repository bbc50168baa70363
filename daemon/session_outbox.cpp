#include "daemon/session_outbox.h"

namespace vant::daemon {

std::optional<SessionEvent> SessionOutbox::next_event() {
  if (events_.empty()) return std::nullopt;
  SessionEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

void SessionOutbox::answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
                           std::span<const uint8_t> tlvs) {
  SessionEvent& event = events_.emplace_back();
  event.kind = SessionEvent::Kind::answer;
  event.origin = origin;
  event.result = result;
  event.message_id = message_id;
  event.tlvs.assign(tlvs.begin(), tlvs.end());
}

void SessionOutbox::indicate(uint8_t pair, uint8_t instance, const qmux::Frame& frame) {
  SessionEvent& event = events_.emplace_back();
  event.kind = SessionEvent::Kind::indication;
  event.pair = pair;
  event.instance = instance;
  event.frame = frame;
}

void SessionOutbox::news(SessionEvent::Kind kind) {
  events_.emplace_back().kind = kind;
}

}  // namespace vant::daemon
