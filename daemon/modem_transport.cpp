#include "daemon/modem_transport.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "daemon/mbim_transport.h"
#include "daemon/proxy_transport.h"
#include "daemon/qmux_stream_transport.h"

namespace vant::daemon {
namespace {

constexpr size_t kReadChunk = 4096;

std::string with_errno(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

void ModemTransport::on_readable(short revents, TimePoint now, TransportInput& in) {
  uint8_t chunk[kReadChunk];
  size_t got = 0;
  switch (link_->read(chunk, got)) {
    case LinkRead::again:
      // A QMI control device whose write to the modem failed keeps reporting
      // an error until it is written again; with nothing to read, polling it
      // again would only spin.
      if (revents & (POLLHUP | POLLERR | POLLNVAL)) in.lost = "the device reported an error";
      return;
    case LinkRead::closed:
      in.lost = "the link closed";
      return;
    case LinkRead::failed:
      in.lost = with_errno("reading failed");
      return;
    case LinkRead::data:
      return on_bytes(std::span<const uint8_t>(chunk, got), now, in);
  }
}

void ModemTransport::on_writable(TransportInput& in) {
  if (!writer_.flush(*link_)) in.lost = with_errno("writing failed");
}

bool ModemTransport::write_bytes(std::vector<uint8_t> bytes, TransportInput& in) {
  if (!writer_.queue(std::move(bytes))) return false;
  on_writable(in);
  return true;
}

std::unique_ptr<ModemTransport> make_transport(std::unique_ptr<ModemLink> link) {
  switch (link->protocol()) {
    case LinkProtocol::qmi_proxy:
      return std::make_unique<ProxyTransport>(std::move(link));
    case LinkProtocol::mbim:
      return std::make_unique<MbimTransport>(std::move(link));
    case LinkProtocol::qmux:
      break;
  }
  return std::make_unique<QmuxStreamTransport>(std::move(link));
}

}  // namespace vant::daemon
