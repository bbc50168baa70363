// What the QMUX session asks of the daemon, held until the session has
// returned: frames for the modem, answers, indications and the session's
// own news. The daemon carries them out after its call into the session, so
// nothing it does then (a new request, dropping the link) can reach into the
// session while it walks its own containers.
#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "daemon/modem_session.h"

namespace vant::daemon {

// One thing the session asked for: an answer to a request, an indication
// for a client, or news of the session itself.
struct SessionEvent {
  enum class Kind { answer, indication, ready, silent, restarted };
  Kind kind = Kind::ready;
  // An answer: to whom, the modem's result (0) or the daemon's code, and
  // the message.
  RequestOrigin origin;
  uint32_t result = 0;
  uint16_t message_id = 0;
  std::vector<uint8_t> tlvs;
  // An indication: the client's pair and instance, and the modem's frame.
  uint8_t pair = 0;
  uint8_t instance = 0;
  qmux::Frame frame;
};

class SessionOutbox final : public SessionEvents {
 public:
  // Frames for the modem, in the order the session sent them.
  std::vector<qmux::Frame> take_frames() { return std::exchange(frames_, {}); }
  // The oldest event not yet taken.
  std::optional<SessionEvent> next_event();

 private:
  void send_frame(const qmux::Frame& frame) override { frames_.push_back(frame); }
  void answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
              std::span<const uint8_t> tlvs) override;
  void indicate(uint8_t pair, uint8_t instance, const qmux::Frame& frame) override;
  void session_ready() override { news(SessionEvent::Kind::ready); }
  void modem_silent() override { news(SessionEvent::Kind::silent); }
  void modem_restarted() override { news(SessionEvent::Kind::restarted); }
  void news(SessionEvent::Kind kind);

  std::vector<qmux::Frame> frames_;
  std::deque<SessionEvent> events_;
};

}  // namespace vant::daemon
