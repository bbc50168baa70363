// How QMUX frames reach the modem over its link: as a QMUX byte stream (a QMI
// control device, the emulator's pseudo-terminal), tunnelled through MBIM, or
// through libqmi's proxy. The QMUX session and everything above it see frames
// only and never know which transport carries them.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "daemon/link_writer.h"
#include "daemon/modem_link.h"
#include "qmux/frame.h"

namespace vant::daemon {

// What one call into a transport brought: frames from the modem, the end of
// the handshake, or the loss of the link (with why). The daemon acts on it
// after the call has returned.
struct TransportInput {
  std::vector<qmux::Frame> frames;
  bool became_ready = false;
  std::string lost;  // not empty: the link is gone or unusable
};

class ModemTransport {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  explicit ModemTransport(std::unique_ptr<ModemLink> link) : link_(std::move(link)) {}
  virtual ~ModemTransport() = default;
  ModemTransport(const ModemTransport&) = delete;
  ModemTransport& operator=(const ModemTransport&) = delete;

  ModemLink& link() { return *link_; }
  const ModemLink& link() const { return *link_; }

  // Begins the handshake (MBIM OPEN, the proxy's open request); a transport
  // without one is ready at once.
  virtual void start(TimePoint now, TransportInput& in) = 0;
  // Whether the session may send: the handshake is done.
  virtual bool ready() const = 0;
  // Other programs share the modem through this transport: the session must
  // not send the control service's Sync, which would free their client ids.
  virtual bool shared() const { return false; }
  // For log lines: "QMUX", "MBIM", "qmi-proxy".
  virtual const char* name() const = 0;

  // Sends one frame, or queues it until the link takes more. False when it
  // was dropped: it does not fit the framing or too many frames wait.
  virtual bool send(const qmux::Frame& frame, TransportInput& in) = 0;
  // The link's descriptor is readable (or reported an error).
  void on_readable(short revents, TimePoint now, TransportInput& in);
  // The link takes more: queued bytes go out.
  void on_writable(TransportInput& in);
  bool wants_write() const { return !writer_.empty(); }

  // The transport's own next deadline (a partial message given up, a
  // handshake unanswered), and what happens then.
  virtual std::optional<TimePoint> deadline() const = 0;
  virtual void on_timer(TimePoint now, TransportInput& in) = 0;

  // The daemon ends: a last goodbye to the modem (MBIM CLOSE), best effort.
  virtual void close() {}

 protected:
  // What the link brought, to be cut into messages.
  virtual void on_bytes(std::span<const uint8_t> bytes, TimePoint now, TransportInput& in) = 0;
  // Queues whole messages' bytes in order and writes what the link takes.
  bool write_bytes(std::vector<uint8_t> bytes, TransportInput& in);
  // How many more write_bytes() calls are taken now: a message that goes in
  // several pieces is queued whole or not at all.
  size_t write_room() const { return writer_.room(); }

 private:
  std::unique_ptr<ModemLink> link_;
  LinkWriter writer_;
};

// The transport a link's protocol asks for (ModemLink::protocol()).
std::unique_ptr<ModemTransport> make_transport(std::unique_ptr<ModemLink> link);

}  // namespace vant::daemon
