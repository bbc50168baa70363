#include "daemon/mbim_transport.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cinttypes>

#include "daemon/log.h"
#include "daemon/refused_nodes.h"
#include "qmux/mbim_device_services.h"

#if __has_include(<linux/usb/cdc-wdm.h>)
#include <linux/usb/cdc-wdm.h>
#else
#define IOCTL_WDM_MAX_COMMAND _IOR('H', 0xA0, uint16_t)
#endif

namespace vant::daemon {
namespace {

namespace mbim = qmux::mbim;

// The node's own limit: a cdc-wdm node tells the device's wMaxCommand; a
// WWAN port, a pseudo-terminal or a socket cannot, and gets MBIM's usual.
uint32_t node_max_transfer(int fd) {
  uint16_t size = 0;
  if (ioctl(fd, IOCTL_WDM_MAX_COMMAND, &size) != 0 || size < mbim::kMinControlTransfer)
    return mbim::kDefaultControlTransfer;
  return size;
}

uint32_t usable_transfer(std::optional<uint32_t> asked, int fd) {
  const uint32_t size = asked ? *asked : node_max_transfer(fd);
  return std::clamp(size, mbim::kMinControlTransfer, mbim::kMaxControlTransfer);
}

mbim::Message command(mbim::Uuid service, uint32_t cid, mbim::CommandType type,
                      std::vector<uint8_t> information) {
  return {mbim::Type::command, 0, 0, 0, service, cid, type, std::move(information)};
}

// The frame an information buffer of the QMI service holds, whole.
std::optional<qmux::Frame> carried_frame(const mbim::Message& m) {
  qmux::Frame frame;
  size_t size = 0;
  if (qmux::parse_frame(m.information, frame, size) != qmux::ParseStatus::ok ||
      size != m.information.size())
    return std::nullopt;
  return frame;
}

bool is_qmi_message(const mbim::Message& m) {
  return m.service == mbim::kQmiService && m.cid == mbim::kCidQmiMessage;
}

}  // namespace

MbimTransport::MbimTransport(std::unique_ptr<ModemLink> link, std::optional<uint32_t> max_transfer)
    : ModemTransport(std::move(link)),
      max_transfer_(usable_transfer(max_transfer, this->link().fd())) {}

void MbimTransport::start(TimePoint now, TransportInput& in) {
  mbim::Message open{mbim::Type::open, 0, max_transfer_, 0, {}, 0, {}, {}};
  ask(std::move(open), Step::opening, now, in);
}

void MbimTransport::ask(mbim::Message m, Step step, TimePoint now, TransportInput& in) {
  m.transaction = next_transaction();
  step_ = step;
  awaited_ = m.transaction;
  step_deadline_ = now + kHandshakeTimeout;
  if (!send_message(std::move(m), in) && in.lost.empty())
    in.lost = "the MBIM handshake could not be sent";
}

bool MbimTransport::send(const qmux::Frame& frame, TransportInput& in) {
  std::vector<uint8_t> bytes;
  if (step_ != Step::ready || !qmux::encode_frame(frame, bytes)) {
    VANT_LOG_WARNING("a frame for service 0x%02X cannot go through MBIM now", frame.service);
    return false;
  }
  mbim::Message m =
      command(mbim::kQmiService, mbim::kCidQmiMessage, mbim::CommandType::set, std::move(bytes));
  m.transaction = next_transaction();
  return send_message(std::move(m), in);
}

// All of a message's fragments are queued, or none: a message cut short
// would only make the modem wait for the rest.
bool MbimTransport::send_message(mbim::Message m, TransportInput& in) {
  auto transfers = mbim::encode(m, max_transfer_);
  if (transfers.empty() || transfers.size() > write_room()) return false;
  for (auto& transfer : transfers)
    if (!write_bytes(std::move(transfer), in)) return false;
  return true;
}

uint32_t MbimTransport::next_transaction() {
  if (++last_transaction_ == 0) ++last_transaction_;
  return last_transaction_;
}

void MbimTransport::on_bytes(std::span<const uint8_t> bytes, TimePoint now, TransportInput& in) {
  receiver_.feed(bytes, now);
  while (in.lost.empty()) {
    auto got = receiver_.next(now);
    if (!got) break;
    if (!got->ok()) {
      VANT_LOG_WARNING("dropped a message from the modem (MBIM transaction %" PRIu32
                       "): protocol error %" PRIu32,
                       got->transaction, static_cast<uint32_t>(got->error));
      continue;
    }
    on_message(got->message, now, in);
  }
}

void MbimTransport::on_message(const mbim::Message& m, TimePoint now, TransportInput& in) {
  if (m.type == mbim::Type::function_error) return on_function_error(m, in);
  const bool awaited = m.transaction == awaited_;
  switch (step_) {
    case Step::opening:
      if (m.type == mbim::Type::open_done && awaited) on_open_done(m, now, in);
      return;
    case Step::listing:
      if (m.type == mbim::Type::command_done && awaited) on_services(m, now, in);
      return;
    case Step::subscribing:
      if (m.type == mbim::Type::command_done && awaited) on_subscribed(m, in);
      return;
    case Step::ready:
      if (is_qmi_message(m)) on_qmi(m, in);
      return;
    case Step::idle:
    case Step::closed:
      return;
  }
}

void MbimTransport::on_open_done(const mbim::Message& m, TimePoint now, TransportInput& in) {
  if (m.status != mbim::kStatusSuccess) {
    in.lost = "the modem refused MBIM OPEN (status " + std::to_string(m.status) + ")";
    return;
  }
  ask(command(mbim::kBasicConnect, mbim::kCidDeviceServices, mbim::CommandType::query, {}),
      Step::listing, now, in);
}

void MbimTransport::on_services(const mbim::Message& m, TimePoint now, TransportInput& in) {
  const auto list = mbim::parse_device_services(m.information);
  if (m.status != mbim::kStatusSuccess || !list) {
    in.lost =
        "the modem did not list its MBIM device services (status " + std::to_string(m.status) + ")";
    return;
  }
  if (!mbim::offers(*list, mbim::kQmiService, mbim::kCidQmiMessage)) {
    in.lost =
        link().node() + " does not offer QMI through MBIM: the QMI service is not among its " +
        std::to_string(list->services.size()) + " device services, and this daemon speaks QMI only";
    note_refused_node(link().node(), in.lost);
    return;
  }
  const std::vector<mbim::EventEntry> events{{mbim::kQmiService, {mbim::kCidQmiMessage}}};
  ask(command(mbim::kBasicConnect, mbim::kCidDeviceServiceSubscribeList, mbim::CommandType::set,
              mbim::encode_subscribe_list(events)),
      Step::subscribing, now, in);
}

// Some modems send QMI indications only to a host that asked for them;
// one that refuses may still send them, and answers requests either way.
void MbimTransport::on_subscribed(const mbim::Message& m, TransportInput& in) {
  if (m.status != mbim::kStatusSuccess)
    VANT_LOG_WARNING("the modem refused to send QMI indications through MBIM (status %" PRIu32
                     "): some may not come",
                     m.status);
  become_ready(in);
}

void MbimTransport::become_ready(TransportInput& in) {
  step_ = Step::ready;
  awaited_ = 0;
  in.became_ready = true;
}

void MbimTransport::on_qmi(const mbim::Message& m, TransportInput& in) {
  if (m.type == mbim::Type::command_done && m.status != mbim::kStatusSuccess) {
    // The request goes unanswered: the session's time-out answers the client.
    VANT_LOG_WARNING("the modem refused a QMI message through MBIM (status %" PRIu32 ")", m.status);
    return;
  }
  if (m.type != mbim::Type::command_done && m.type != mbim::Type::indicate_status) return;
  auto frame = carried_frame(m);
  if (!frame) {
    VANT_LOG_WARNING("dropped a QMI message through MBIM that is no whole QMUX frame");
    return;
  }
  in.frames.push_back(std::move(*frame));
}

// A modem that says it is not open has restarted and forgotten us: the link
// is opened again from the start.
void MbimTransport::on_function_error(const mbim::Message& m, TransportInput& in) {
  if (m.status == static_cast<uint32_t>(mbim::ProtocolError::not_opened)) {
    in.lost = "the modem says MBIM is not open (it restarted)";
    return;
  }
  VANT_LOG_WARNING("the modem reported MBIM error %" PRIu32 " for transaction %" PRIu32, m.status,
                   m.transaction);
}

std::optional<ModemTransport::TimePoint> MbimTransport::deadline() const {
  auto due = receiver_.deadline();
  const bool handshaking =
      step_ == Step::opening || step_ == Step::listing || step_ == Step::subscribing;
  if (handshaking && (!due || step_deadline_ < *due)) due = step_deadline_;
  return due;
}

void MbimTransport::on_timer(TimePoint now, TransportInput& in) {
  for (const auto& given_up : receiver_.expire(now))
    VANT_LOG_WARNING(
        "gave up a message from the modem whose fragments stopped (transaction %" PRIu32 ")",
        given_up.transaction);
  if (now < step_deadline_) return;
  switch (step_) {
    case Step::opening:
      in.lost = "no answer to MBIM OPEN";
      return;
    case Step::listing:
      in.lost = "no answer to the MBIM device-services query";
      return;
    case Step::subscribing:
      VANT_LOG_WARNING("no answer to the subscription to QMI indications through MBIM");
      return become_ready(in);
    case Step::idle:
    case Step::ready:
    case Step::closed:
      return;
  }
}

void MbimTransport::close() {
  if (step_ == Step::idle || step_ == Step::closed) return;
  step_ = Step::closed;
  TransportInput ignored;
  mbim::Message goodbye{mbim::Type::close, next_transaction(), 0, 0, {}, 0, {}, {}};
  send_message(std::move(goodbye), ignored);
}

}  // namespace vant::daemon
