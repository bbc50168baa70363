// Sequences of client datagrams on the three channel pairs, taken the way the
// daemon takes them: checked, then answered by the device service or relayed
// through the modem session, whose state carries over from one datagram to
// the next (connections, client ids, requests waiting for the modem, clients
// replaced on their pair, time passing). The modem grants every control
// request at once and answers relayed requests when the input says so.
//
// Input: records, each an op byte and what it needs.
//   op & 3 == 0: a datagram on pair (op >> 2) % 3: a length byte, then its bytes
//   op & 3 == 1: the modem answers its oldest relayed request: a length byte,
//                then the answer's TLV area
//   op & 3 == 2: (op >> 2) * 250 ms pass
//   op & 3 == 3: another process takes pair (op >> 2) % 3 over
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "daemon/am_datagram.h"
#include "daemon/device_service.h"
#include "daemon/failure.h"
#include "daemon/modem_session.h"
#include "qmux/ctl.h"

namespace {

using namespace vant::daemon;
namespace ctl = vant::qmux::ctl;
using vant::qmux::Frame;

constexpr size_t kPairs = 3;

class Modem final : public SessionEvents {
 public:
  void send_frame(const Frame& frame) override {
    (frame.service == vant::qmux::kServiceCtl ? control_ : relayed_).push_back(frame);
  }
  void answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
              std::span<const uint8_t> tlvs) override {
    QmiRequest request;
    request.transaction = origin.transaction;
    request.header = origin.header;
    build_qmi_response(request, result, message_id, tlvs);
  }
  void indicate(uint8_t, uint8_t instance, const Frame& frame) override {
    build_indication(frame.service, instance, frame.message_id, frame.tlvs);
  }
  void session_ready() override {}
  void modem_restarted() override {}

  // Grants what the session asked of the control service, which may ask more.
  void serve_control(ModemSession& session, TimePoint now) {
    while (!control_.empty()) {
      const Frame request = control_.front();
      control_.pop_front();
      const auto t = static_cast<uint8_t>(request.transaction);
      if (request.message_id == ctl::kSync) {
        session.on_frame(ctl::sync_response(t, 0), now);
      } else if (const auto service = ctl::parse_allocate_client_id_request(request)) {
        session.on_frame(ctl::allocate_client_id_response(t, 0, {*service, ++next_client_}), now);
      } else if (const auto id = ctl::parse_release_client_id_request(request)) {
        session.on_frame(ctl::release_client_id_response(t, 0, *id), now);
      }
    }
  }

  void answer_oldest(ModemSession& session, std::span<const uint8_t> tlvs, TimePoint now) {
    if (relayed_.empty()) return;
    Frame answer = relayed_.front();
    relayed_.pop_front();
    answer.sender = vant::qmux::Sender::modem;
    answer.kind = vant::qmux::MessageKind::response;
    answer.tlvs.assign(tlvs.begin(), tlvs.end());
    session.on_frame(answer, now);
  }

 private:
  std::deque<Frame> control_;
  std::deque<Frame> relayed_;
  uint8_t next_client_ = 0;
};

class Harness {
 public:
  Harness() : session_(modem_), device_(1) {
    view_.presence = DevicePresence::present;
    view_.node = "/dev/cdc-wdm0";
    session_.start(now_);
    modem_.serve_control(session_, now_);
  }

  void datagram(size_t pair, std::span<const uint8_t> bytes) {
    const ParsedDatagram parsed = parse_client_datagram(bytes);
    if (parsed.kind == DatagramKind::sdk_request) {
      build_sdk_response(parsed.sdk_type, 0, 1, 1);
    } else if (parsed.kind == DatagramKind::rejected) {
      if (parsed.answerable) refuse(parsed.qmi, vant::kQmiErrorBase + kQmiErrorMalformed);
    } else {
      request(pair, parsed.qmi);
    }
    modem_.serve_control(session_, now_);
  }

  void modem_answers(std::span<const uint8_t> tlvs) {
    modem_.answer_oldest(session_, tlvs, now_);
    modem_.serve_control(session_, now_);
  }

  void time_passes(std::chrono::milliseconds step) {
    now_ += step;
    session_.on_timer(now_);
    modem_.serve_control(session_, now_);
  }

  void new_client(size_t pair) {
    device_.disconnect(pair);
    session_.forget_pair(static_cast<uint8_t>(pair));
  }

  void finish() {
    session_.release_all(now_);
    modem_.serve_control(session_, now_);
    session_.fail_all(kFailNotConnected);
  }

 private:
  void refuse(const QmiRequest& request, uint32_t code) {
    build_qmi_response(request, code, request.message_id, failure_tlvs(code));
  }

  void request(size_t pair, const QmiRequest& request) {
    const uint8_t service = request.header.service;
    if (service == kDeviceServiceNumber) {
      const DeviceReply reply = device_.handle(pair, request.message_id, request.tlvs, view_);
      build_qmi_response(request, reply.result, request.message_id, reply.tlvs);
      return;
    }
    if (service == vant::qmux::kServiceCtl) return refuse(request, kFailServiceNotSupported);
    if (request.header.instance >= kClientInstances) return refuse(request, kFailNoInterface);
    if (session_.outstanding(static_cast<uint8_t>(pair)) >= 64)
      return refuse(request, kFailTooMany);
    RequestOrigin origin;
    origin.pair = static_cast<uint8_t>(pair);
    origin.transaction = request.transaction;
    origin.header = request.header;
    origin.message_id = request.message_id;
    const auto limit =
        std::chrono::milliseconds(request.header.timeout == 0 ? 600000 : request.header.timeout);
    session_.submit(origin, request.tlvs, now_ + limit, now_);
  }

  Modem modem_;
  ModemSession session_;
  DeviceService device_;
  DeviceView view_;
  TimePoint now_{};
};

// The next length-prefixed field, copied to the heap at its exact size so
// that a read past it is caught.
std::unique_ptr<uint8_t[]> take_field(const uint8_t*& data, size_t& size, size_t& length) {
  length = 0;
  if (size == 0) return nullptr;
  length = std::min<size_t>(*data, size - 1);
  auto field = std::make_unique<uint8_t[]>(length + 1);
  std::memcpy(field.get(), data + 1, length);
  data += 1 + length;
  size -= 1 + length;
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Harness harness;
  while (size > 0) {
    const uint8_t op = *data++;
    --size;
    const size_t pair = (op >> 2) % kPairs;
    size_t length = 0;
    switch (op & 3) {
      case 0: {
        const auto bytes = take_field(data, size, length);
        harness.datagram(pair, std::span<const uint8_t>(bytes.get(), length));
        break;
      }
      case 1: {
        const auto tlvs = take_field(data, size, length);
        harness.modem_answers(std::span<const uint8_t>(tlvs.get(), length));
        break;
      }
      case 2:
        harness.time_passes(std::chrono::milliseconds(250) * (op >> 2));
        break;
      case 3:
        harness.new_client(pair);
        break;
    }
  }
  harness.finish();
  return 0;
}
