// A scripted modem for the daemon's tests: serves one end of a socketpair on
// a thread of its own, answers the control service (Sync, client ids) and the
// identity queries by itself, and hands every other request to the test's
// handler. It records everything the daemon sent.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "daemon/modem_link.h"
#include "daemon/unique_fd.h"
#include "qmux/frame.h"

namespace vant::daemon::testing {

inline constexpr const char* kFakeImei = "356938035643809";
inline constexpr const char* kFakeModel = "VW-FAKE";
inline constexpr const char* kFakeRevision = "FAKE_01.02.03";
inline constexpr const char* kFakeNode = "/dev/fake-wdm0";

class FakeModem {
 public:
  // The answers to one request; none makes the modem stay silent.
  using Handler = std::function<std::vector<qmux::Frame>(const qmux::Frame& request)>;

  // identity_silent: device management requests, the identity queries among
  // them, go unanswered, so the daemon identifies the modem only when they
  // time out.
  explicit FakeModem(UniqueFd fd, bool identity_silent = false);
  ~FakeModem();

  // Replaces the handler of requests other than control and identity ones.
  // The default answers success and echoes the request's TLVs inside TLV 0x10.
  void set_handler(Handler handler);
  void send(const qmux::Frame& frame);
  // Raw bytes, for frames cut short or garbled.
  void send_bytes(std::span<const uint8_t> bytes);
  // Closes the modem's end: the daemon reads the end of the stream.
  void vanish();

  std::vector<qmux::Frame> received() const;
  // Waits until the daemon has sent a frame the predicate accepts.
  bool wait_for(const std::function<bool(const qmux::Frame&)>& accept,
                std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
  // Client ids the daemon holds: allocated and not released.
  std::set<std::pair<uint8_t, uint8_t>> live_clients() const;
  size_t allocations() const;

  static qmux::Frame echo(const qmux::Frame& request);

 private:
  void serve();
  void handle(const qmux::Frame& frame);
  std::optional<qmux::Frame> control_answer(const qmux::Frame& frame);
  std::optional<qmux::Frame> identity_answer(const qmux::Frame& frame);
  void write(const qmux::Frame& frame);

  UniqueFd fd_;
  UniqueFd stop_read_, stop_write_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<qmux::Frame> received_;
  Handler handler_;
  std::set<std::pair<uint8_t, uint8_t>> live_;
  std::map<uint8_t, uint8_t> next_client_id_;
  size_t allocations_ = 0;
  bool identity_silent_;
  std::thread thread_;
};

// A link source whose modem is a FakeModem; tests switch it absent and back.
class FakeModemSource final : public LinkSource {
 public:
  std::unique_ptr<ModemLink> open(std::string& why) override;
  std::string describe() const override { return "the fake modem"; }

  void set_present(bool present);
  // Modems opened after this leave the identity queries unanswered.
  void set_identity_silent(bool silent);
  // The modem of the latest open, once there is one.
  std::shared_ptr<FakeModem> modem(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  size_t opens() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable opened_;
  bool present_ = true;
  bool identity_silent_ = false;
  size_t opens_ = 0;
  std::shared_ptr<FakeModem> modem_;
};

}  // namespace vant::daemon::testing
