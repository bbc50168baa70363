// The byte stream to the modem on which QMUX frames travel, and where it
// comes from. A real QMI control device, the emulator's pseudo-terminal and an
// in-process socketpair are all links; the daemon never knows which one it has.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vant::daemon {

enum class LinkRead { data, again, closed, failed };

// What the link speaks: QMUX frames as they are, QMI tunnelled through MBIM,
// or QMUX to libqmi's proxy, which shares the modem with other programs.
enum class LinkProtocol { qmux, mbim, qmi_proxy };

class ModemLink {
 public:
  virtual ~ModemLink() = default;

  // A non-blocking descriptor to poll for reading and writing.
  virtual int fd() const = 0;
  // The device node clients are told about.
  virtual const std::string& node() const = 0;
  virtual LinkProtocol protocol() const { return LinkProtocol::qmux; }

  // One read of what the modem sent; got holds the count for LinkRead::data.
  virtual LinkRead read(std::span<uint8_t> buffer, size_t& got) = 0;
  // Writes what the link takes now without waiting: the count written (0 when
  // it is full), or -1 when the link failed.
  virtual ssize_t write_some(std::span<const uint8_t> bytes) = 0;
  // False once the device is known to be gone although its descriptor has not
  // said so yet (its node was removed or replaced).
  virtual bool still_present() const { return true; }
  // A descriptor that becomes readable when the node may have changed (-1:
  // none); the daemon then drains it and asks still_present().
  virtual int watch_fd() const { return -1; }
  virtual void drain_watch() {}
};

// Where the modem's link comes from: asked again and again while no modem is
// there.
class LinkSource {
 public:
  virtual ~LinkSource() = default;
  // The link, or nullptr with the reason in why.
  virtual std::unique_ptr<ModemLink> open(std::string& why) = 0;
  // For log lines: what this source looks at.
  virtual std::string describe() const = 0;
  // The modem on the link last opened has told its IMEI (empty when it did
  // not). False, with why, when it is not the modem this source keeps to:
  // the daemon then drops the link before any client hears of the modem,
  // and asks open() again later.
  virtual bool identified(const std::string& /*imei*/, std::string& /*why*/) { return true; }
};

}  // namespace vant::daemon
