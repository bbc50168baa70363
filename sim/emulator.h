// The emulated modem behind a QMUX endpoint. One Emulator is one modem: its
// state (client ids, registration, locks, sessions) lives as long as the
// object and survives host reconnections, like a real modem's does while the
// host reopens its control device.
//
// Either speaks QMUX on the stream, or MBIM with QMI tunnelled through it.
//
// Use in-process (the daemon's --simulate): make a socketpair, give one end to
// serve() on a thread of its own and speak QMUX on the other; or let
// InProcessLink (in_process_link.h) do that. Use on a pseudo-terminal:
// vantsim (pty_runner.h).
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "sim/scenario.h"

namespace vant::sim {

class ModemCore;

// An MBIM modem instead of a QMUX one: the host opens it with MBIM OPEN and
// reaches QMI through the modem's QMI service.
struct MbimSettings {
  // Whether the device services list the QMI service (a modem without it
  // answers every QMI message with "no device support").
  bool offers_qmi = true;
  // The modem's own limit on one control transfer: what it sends is cut to
  // the smaller of this and what the host announced in OPEN.
  uint32_t max_transfer = 4096;
};

// Why serve() returned.
enum class ServeEnd : uint8_t {
  host_closed,  // end of stream: the host closed its end
  modem_gone,   // the scenario made the modem disappear (the stream was shut down)
  stopped,      // stop() was called
  io_error,     // the descriptor failed
};

// What the host can observe of the model besides the wire, for tests and for
// a daemon that wants to report the modem's identity without asking it.
struct ModelSnapshot {
  Locks locks;
  std::optional<std::pair<uint16_t, uint16_t>> registered;
  std::map<uint8_t, std::vector<uint8_t>> selection_preference;  // TLV type -> value
  std::map<uint8_t, size_t> allocated_client_ids;                // service -> count
  uint32_t restarts = 0;
};

class Emulator {
 public:
  explicit Emulator(Scenario scenario);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Serves one QMUX byte stream until the host closes it, the modem
  // disappears, stop() is called or the descriptor fails. Blocks; run it on a
  // thread of its own. The descriptor stays open (the caller owns it); when
  // the modem disappears a socket is shut down so that the host sees the end
  // of the stream, as it would see a vanished device.
  //
  // A stream that starts after the modem came back begins with a Sync
  // indication: the modem restarted and every client id is gone.
  ServeEnd serve(int fd, const std::optional<MbimSettings>& mbim = std::nullopt);

  // Serves the master side of a pseudo-terminal across any number of hosts
  // opening and closing its other side, until the modem disappears, stop()
  // is called or the descriptor fails.
  ServeEnd serve_pseudo_terminal(int master_fd,
                                 const std::optional<MbimSettings>& mbim = std::nullopt);

  // Whether the modem is present now (the scenario's outages say when not).
  bool present() const;
  // Waits until the modem is present, stop() was called or the time passed.
  bool wait_present(std::chrono::milliseconds timeout);

  // Makes every serve() return soon, now and later. Any thread.
  void stop();
  bool stopped() const;

  const Identity& identity() const;
  ModelSnapshot snapshot() const;

 private:
  std::unique_ptr<ModemCore> core_;
};

}  // namespace vant::sim
