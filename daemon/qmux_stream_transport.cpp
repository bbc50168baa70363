#include "daemon/qmux_stream_transport.h"

#include "daemon/log.h"

namespace vant::daemon {

bool QmuxStreamTransport::send(const qmux::Frame& frame, TransportInput& in) {
  std::vector<uint8_t> bytes;
  if (!qmux::encode_frame(frame, bytes)) {
    VANT_LOG_WARNING("a frame for service 0x%02X does not fit QMUX framing", frame.service);
    return false;
  }
  return write_bytes(std::move(bytes), in);
}

void QmuxStreamTransport::on_bytes(std::span<const uint8_t> bytes, TimePoint now,
                                   TransportInput& in) {
  reassembler_.feed(bytes, now);
  take_frames(now, in);
}

void QmuxStreamTransport::take_frames(TimePoint now, TransportInput& in) {
  while (auto frame = reassembler_.next(now)) on_frame(std::move(*frame), in);
}

void QmuxStreamTransport::on_timer(TimePoint now, TransportInput& in) {
  if (!reassembler_.expire(now)) return;
  VANT_LOG_WARNING("gave up a frame from the modem that did not complete within %lld ms",
                   static_cast<long long>(qmux::TimedReassembler::kPartialFrameTimeout.count()));
  take_frames(now, in);  // what followed its start may be whole frames
}

}  // namespace vant::daemon
