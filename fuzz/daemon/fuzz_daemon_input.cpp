// What reaches the daemon from outside: client datagrams (checked, then
// served by the device service or turned into a request for the modem) and
// the modem's byte stream (reassembled into frames for the session). The
// first byte chooses which.
#include <cstddef>
#include <cstdint>
#include <span>

#include "daemon/am_datagram.h"
#include "daemon/device_service.h"
#include "daemon/modem_session.h"
#include "qmux/reassembler.h"

namespace {

using namespace vant::daemon;

class Sink : public SessionEvents {
 public:
  void send_frame(const vant::qmux::Frame&) override {}
  void answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
              std::span<const uint8_t> tlvs) override {
    QmiRequest request;
    request.header = origin.header;
    build_qmi_response(request, result, message_id, tlvs);
  }
  void indicate(uint8_t, uint8_t instance, const vant::qmux::Frame& frame) override {
    build_indication(frame.service, instance, frame.message_id, frame.tlvs);
  }
  void session_ready() override {}
  void modem_restarted() override {}
};

void client_datagram(std::span<const uint8_t> bytes) {
  const ParsedDatagram parsed = parse_client_datagram(bytes);
  if (parsed.kind != DatagramKind::qmi_request) return;
  DeviceView view;
  view.presence = DevicePresence::present;
  view.node = "/dev/cdc-wdm0";
  DeviceService service(1);
  const DeviceReply reply = service.handle(0, parsed.qmi.message_id, parsed.qmi.tlvs, view);
  build_qmi_response(parsed.qmi, reply.result, parsed.qmi.message_id, reply.tlvs);
}

void modem_stream(std::span<const uint8_t> bytes) {
  Sink sink;
  ModemSession session(sink);
  const TimePoint now = Clock::now();
  session.start(now);
  // Requests of two pairs and instances, so that answers and indications find
  // somebody to go to.
  for (uint8_t pair = 0; pair < 2; ++pair) {
    RequestOrigin origin;
    origin.pair = pair;
    origin.header.service = 3;
    origin.header.instance = pair;
    session.submit(origin, {}, now + std::chrono::seconds(1), now);
  }
  vant::qmux::Reassembler reassembler;
  reassembler.feed(bytes);
  while (auto frame = reassembler.next()) session.on_frame(*frame, now);
  session.on_timer(now + std::chrono::seconds(10));
  session.release_all(now);
  session.fail_all(6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> rest(data + 1, size - 1);
  if (data[0] & 1)
    modem_stream(rest);
  else
    client_datagram(rest);
  return 0;
}
