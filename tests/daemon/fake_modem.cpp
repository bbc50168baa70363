#include "tests/daemon/fake_modem.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstring>
#include <string_view>

#include "daemon/fd_link.h"
#include "qmux/ctl.h"
#include "qmux/reassembler.h"
#include "qmux/response.h"
#include "qmux/stream.h"
#include "qmux/tlv.h"

namespace vant::daemon::testing {
namespace {

constexpr uint8_t kDms = 0x02;

std::span<const uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

FakeModem::FakeModem(UniqueFd fd, bool identity_silent)
    : fd_(std::move(fd)), identity_silent_(identity_silent) {
  int pipe_fds[2];
  if (pipe(pipe_fds) == 0) {
    stop_read_.reset(pipe_fds[0]);
    stop_write_.reset(pipe_fds[1]);
  }
  thread_ = std::thread([this] { serve(); });
}

FakeModem::~FakeModem() {
  [[maybe_unused]] const ssize_t n = ::write(stop_write_.get(), "x", 1);
  thread_.join();
}

void FakeModem::set_handler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void FakeModem::send(const qmux::Frame& frame) {
  std::lock_guard lock(mutex_);
  write(frame);
}

void FakeModem::send_bytes(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (fd_.valid()) qmux::write_all(fd_.get(), bytes);
}

void FakeModem::write(const qmux::Frame& frame) {
  if (fd_.valid()) qmux::write_frame(fd_.get(), frame);
}

void FakeModem::vanish() {
  std::lock_guard lock(mutex_);
  if (fd_.valid()) shutdown(fd_.get(), SHUT_RDWR);
}

std::vector<qmux::Frame> FakeModem::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool FakeModem::wait_for(const std::function<bool(const qmux::Frame&)>& accept,
                         std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    for (const auto& f : received_)
      if (accept(f)) return true;
    return false;
  });
}

std::set<std::pair<uint8_t, uint8_t>> FakeModem::live_clients() const {
  std::lock_guard lock(mutex_);
  return live_;
}

size_t FakeModem::allocations() const {
  std::lock_guard lock(mutex_);
  return allocations_;
}

qmux::Frame FakeModem::echo(const qmux::Frame& request) {
  qmux::TlvBuilder tlvs;
  tlvs.add_result(0);
  tlvs.add(0x10, request.tlvs);
  return qmux::response_to(request, tlvs.take());
}

void FakeModem::serve() {
  qmux::Reassembler reassembler;
  while (true) {
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stop_read_.get(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    const auto status = qmux::read_into(fd_.get(), reassembler);
    if (status == qmux::ReadStatus::eof || status == qmux::ReadStatus::error) {
      // Stay until the test lets go, like a device node that is gone.
      pollfd stop{stop_read_.get(), POLLIN, 0};
      poll(&stop, 1, -1);
      return;
    }
    while (auto frame = reassembler.next()) handle(*frame);
  }
}

void FakeModem::handle(const qmux::Frame& frame) {
  std::unique_lock lock(mutex_);
  received_.push_back(frame);
  changed_.notify_all();
  if (auto answer = control_answer(frame)) return write(*answer);
  if (frame.service == kDms && identity_silent_) return;
  if (auto answer = identity_answer(frame)) return write(*answer);
  Handler handler = handler_;
  lock.unlock();
  const auto answers = handler ? handler(frame) : std::vector<qmux::Frame>{echo(frame)};
  lock.lock();
  for (const auto& a : answers) write(a);
}

std::optional<qmux::Frame> FakeModem::control_answer(const qmux::Frame& frame) {
  namespace ctl = qmux::ctl;
  if (frame.service != qmux::kServiceCtl) return std::nullopt;
  const auto tid = static_cast<uint8_t>(frame.transaction);
  if (frame.message_id == ctl::kSync) {
    live_.clear();
    return ctl::sync_response(tid, 0);
  }
  if (auto service = ctl::parse_allocate_client_id_request(frame)) {
    const uint8_t id = ++next_client_id_[*service];
    live_.insert({*service, id});
    ++allocations_;
    return ctl::allocate_client_id_response(tid, 0, {*service, id});
  }
  if (auto id = ctl::parse_release_client_id_request(frame)) {
    live_.erase({id->service, id->client_id});
    return ctl::release_client_id_response(tid, 0, *id);
  }
  return std::nullopt;
}

std::optional<qmux::Frame> FakeModem::identity_answer(const qmux::Frame& frame) {
  if (frame.service != kDms) return std::nullopt;
  qmux::TlvBuilder tlvs;
  tlvs.add_result(0);
  switch (frame.message_id) {
    case 0x0022:
      tlvs.add(0x01, bytes_of(kFakeModel));
      break;
    case 0x0023:
      tlvs.add(0x01, bytes_of(kFakeRevision));
      break;
    case 0x0025:
      tlvs.add(0x11, bytes_of(kFakeImei));
      break;
    default:
      return std::nullopt;
  }
  return qmux::response_to(frame, tlvs.take());
}

std::unique_ptr<ModemLink> FakeModemSource::open(std::string& why) {
  std::lock_guard lock(mutex_);
  if (!present_) {
    why = "the fake modem is absent";
    return nullptr;
  }
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  modem_ = std::make_shared<FakeModem>(UniqueFd(ends[1]), identity_silent_);
  ++opens_;
  opened_.notify_all();
  return std::make_unique<SocketpairLink>(UniqueFd(ends[0]), kFakeNode);
}

void FakeModemSource::set_present(bool present) {
  std::lock_guard lock(mutex_);
  present_ = present;
}

std::shared_ptr<FakeModem> FakeModemSource::modem(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  opened_.wait_for(lock, timeout, [this] { return modem_ != nullptr; });
  return modem_;
}

void FakeModemSource::set_identity_silent(bool silent) {
  std::lock_guard lock(mutex_);
  identity_silent_ = silent;
}

size_t FakeModemSource::opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

}  // namespace vant::daemon::testing
