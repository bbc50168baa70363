#include "sim/emulator.h"

#include "sim/modem_core.h"
#include "sim/serve_loop.h"

namespace vant::sim {

Emulator::Emulator(Scenario scenario) : core_(std::make_unique<ModemCore>(std::move(scenario))) {}

Emulator::~Emulator() = default;

ServeEnd Emulator::serve(int fd, const std::optional<MbimSettings>& mbim) {
  return serve_stream(*core_, fd, ServeOptions{.mbim = mbim});
}

ServeEnd Emulator::serve_pseudo_terminal(int master_fd, const std::optional<MbimSettings>& mbim) {
  return serve_stream(*core_, master_fd, ServeOptions{.wait_for_next_host = true, .mbim = mbim});
}

bool Emulator::present() const {
  return core_->present(Clock::now());
}

bool Emulator::wait_present(std::chrono::milliseconds timeout) {
  return core_->wait_present(timeout);
}

void Emulator::stop() {
  core_->stop();
}

bool Emulator::stopped() const {
  return core_->stopped();
}

const Identity& Emulator::identity() const {
  return core_->identity();
}

ModelSnapshot Emulator::snapshot() const {
  return core_->snapshot();
}

}  // namespace vant::sim
