// QMUX frames as they are on the link's byte stream: a QMI control device or
// the emulator's pseudo-terminal. Ready at once: there is no handshake below
// the control service's own.
#pragma once

#include "daemon/modem_transport.h"
#include "qmux/timed_reassembler.h"

namespace vant::daemon {

class QmuxStreamTransport : public ModemTransport {
 public:
  using ModemTransport::ModemTransport;

  void start(TimePoint /*now*/, TransportInput& in) override { in.became_ready = true; }
  bool ready() const override { return true; }
  const char* name() const override { return "QMUX"; }
  bool send(const qmux::Frame& frame, TransportInput& in) override;
  std::optional<TimePoint> deadline() const override { return reassembler_.deadline(); }
  void on_timer(TimePoint now, TransportInput& in) override;

 protected:
  void on_bytes(std::span<const uint8_t> bytes, TimePoint now, TransportInput& in) override;
  // Whole frames the stream holds now, each handed to on_frame.
  void take_frames(TimePoint now, TransportInput& in);
  // One frame from the modem: for the session, unless a subclass keeps it.
  virtual void on_frame(qmux::Frame frame, TransportInput& in) {
    in.frames.push_back(std::move(frame));
  }

 private:
  // A frame the modem began but did not finish is given up after a while,
  // so that it cannot swallow the frames after it.
  qmux::TimedReassembler reassembler_;
};

}  // namespace vant::daemon
