// QMUX frames as they are on the stream.
#include "qmux/timed_reassembler.h"
#include "sim/host_framing.h"

namespace vant::sim {
namespace {

class QmuxFraming final : public HostFraming {
 public:
  void feed(std::span<const uint8_t> bytes, Clock::time_point now) override {
    reassembler_.feed(bytes, now);
  }
  std::optional<qmux::Frame> next(Clock::time_point now, Writes&) override {
    return reassembler_.next(now);
  }
  std::optional<Clock::time_point> deadline() const override { return reassembler_.deadline(); }
  // What followed the frame given up may be whole frames: next() finds them.
  void expire(Clock::time_point now, Writes&) override { reassembler_.expire(now); }
  Writes wrap(const Writes& writes) override { return writes; }

 private:
  // Gives up a frame that does not complete in time, so that a lying length
  // cannot stall the stream.
  qmux::TimedReassembler reassembler_;
};

}  // namespace

std::unique_ptr<HostFraming> make_qmux_framing() {
  return std::make_unique<QmuxFraming>();
}

}  // namespace vant::sim
