// The emulator as a device a host opens in its own process: open() returns
// the host's end of a fresh socketpair whose other end a thread serves, or
// fails with ENODEV while the modem is absent, like opening a control device
// node that does not exist. When the modem disappears the host's descriptor
// reads end-of-stream; the host closes it and opens again later.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "sim/emulator.h"
#include "sim/scenario_json.h"

namespace vant::sim {

class InProcessLink {
 public:
  // mbim: the modem speaks MBIM on each stream rather than QMUX.
  explicit InProcessLink(Emulator& emulator, std::optional<MbimSettings> mbim = std::nullopt)
      : emulator_(emulator), mbim_(std::move(mbim)) {}
  // Stops the emulator and joins every serving thread.
  ~InProcessLink();
  InProcessLink(const InProcessLink&) = delete;
  InProcessLink& operator=(const InProcessLink&) = delete;

  // The host's descriptor (close-on-exec, blocking; the caller owns it), or
  // -1 with errno set (ENODEV while the modem is absent).
  int open();

 private:
  struct Server {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  // Joins the threads whose streams have ended, so that a host reopening
  // the link for days does not pile them up.
  void reap();

  Emulator& emulator_;
  const std::optional<MbimSettings> mbim_;
  std::mutex mutex_;
  std::list<Server> servers_;
};

}  // namespace vant::sim
