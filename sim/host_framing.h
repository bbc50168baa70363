// How the emulated modem's QMUX frames travel on a stream it serves: as they
// are (a QMI control device), or tunnelled through MBIM's QMI service (an
// MBIM control device). The serve loop and the modem see frames only.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>

#include "qmux/frame.h"
#include "sim/emulator.h"
#include "sim/modem_core.h"

namespace vant::sim {

class HostFraming {
 public:
  virtual ~HostFraming() = default;

  virtual void feed(std::span<const uint8_t> bytes, Clock::time_point now) = 0;
  // The next frame from the host for the modem, or nothing until more bytes
  // come. What the framing answers itself (MBIM's OPEN_DONE, say) is added
  // to replies.
  virtual std::optional<qmux::Frame> next(Clock::time_point now, Writes& replies) = 0;
  // When something the host began and did not finish is given up.
  virtual std::optional<Clock::time_point> deadline() const = 0;
  virtual void expire(Clock::time_point now, Writes& replies) = 0;
  // The modem's writes (encoded QMUX frames, or noise a scenario asked
  // for) as they go on the stream.
  virtual Writes wrap(const Writes& writes) = 0;
};

std::unique_ptr<HostFraming> make_qmux_framing();
std::unique_ptr<HostFraming> make_mbim_framing(const MbimSettings& settings);

}  // namespace vant::sim
