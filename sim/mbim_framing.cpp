// The modem as an MBIM function: it answers OPEN and CLOSE, lists its
// device services, and carries QMUX frames through its QMI service (CID 1):
// the host's requests come as COMMANDs, the modem's answers go back as
// COMMAND_DONE of the same transaction and its indications as
// INDICATE_STATUS, once the host has subscribed to them (as some modems
// want). What exceeds the transfer size is sent in fragments.
#include <algorithm>
#include <map>
#include <tuple>

#include "qmux/mbim_device_services.h"
#include "qmux/mbim_receiver.h"
#include "sim/host_framing.h"

namespace vant::sim {
namespace {

namespace mbim = qmux::mbim;

// Requests waiting for the modem's answer, beyond which the oldest is
// forgotten (its answer then goes nowhere).
constexpr size_t kMaxWaitingRequests = 256;

class MbimFraming final : public HostFraming {
 public:
  explicit MbimFraming(const MbimSettings& settings) : settings_(settings) {}

  void feed(std::span<const uint8_t> bytes, Clock::time_point now) override {
    receiver_.feed(bytes, now);
  }
  std::optional<qmux::Frame> next(Clock::time_point now, Writes& replies) override;
  std::optional<Clock::time_point> deadline() const override { return receiver_.deadline(); }
  void expire(Clock::time_point now, Writes& replies) override;
  Writes wrap(const Writes& writes) override;

 private:
  // A QMUX request by service, client id and transaction.
  using RequestKey = std::tuple<uint8_t, uint8_t, uint16_t>;

  std::optional<qmux::Frame> on_message(const mbim::Message& m, Writes& replies);
  void on_open(const mbim::Message& m, Writes& replies);
  std::optional<qmux::Frame> on_command(const mbim::Message& m, Writes& replies);
  std::optional<qmux::Frame> tunnel(const mbim::Message& m, Writes& replies);
  void subscribe(const mbim::Message& m, Writes& replies);
  void remember(const qmux::Frame& request, uint32_t transaction);
  std::optional<mbim::Message> carrying(const std::vector<uint8_t>& write);
  mbim::DeviceServices device_services() const;
  void send(const mbim::Message& m, Writes& out) const;
  void done(const mbim::Message& command, uint32_t status, std::vector<uint8_t> information,
            Writes& replies) const;
  void error(mbim::ProtocolError code, uint32_t transaction, Writes& replies) const;

  const MbimSettings settings_;
  mbim::Receiver receiver_;
  bool open_ = false;
  bool qmi_indications_ = false;  // the host subscribed to them
  uint32_t transfer_size_ = mbim::kDefaultControlTransfer;
  std::map<RequestKey, uint32_t> waiting_;  // -> the MBIM transaction that carried it
};

std::optional<qmux::Frame> MbimFraming::next(Clock::time_point now, Writes& replies) {
  while (auto got = receiver_.next(now)) {
    if (!got->ok()) {
      error(got->error, got->transaction, replies);
      continue;
    }
    if (auto frame = on_message(got->message, replies)) return frame;
  }
  return std::nullopt;
}

void MbimFraming::expire(Clock::time_point now, Writes& replies) {
  for (const auto& given_up : receiver_.expire(now))
    error(given_up.error, given_up.transaction, replies);
}

std::optional<qmux::Frame> MbimFraming::on_message(const mbim::Message& m, Writes& replies) {
  switch (m.type) {
    case mbim::Type::open:
      on_open(m, replies);
      return std::nullopt;
    case mbim::Type::close:
      open_ = false;
      qmi_indications_ = false;
      waiting_.clear();
      send({mbim::Type::close_done, m.transaction, 0, mbim::kStatusSuccess, {}, 0, {}, {}},
           replies);
      return std::nullopt;
    case mbim::Type::command:
      return on_command(m, replies);
    default:
      return std::nullopt;  // a host's error report, or what only a modem sends
  }
}

// An OPEN while open starts afresh, as after a host that crashed.
void MbimFraming::on_open(const mbim::Message& m, Writes& replies) {
  waiting_.clear();
  qmi_indications_ = false;
  open_ = m.max_control_transfer >= mbim::kMinControlTransfer;
  transfer_size_ = std::clamp(std::min(m.max_control_transfer, settings_.max_transfer),
                              mbim::kMinControlTransfer, mbim::kMaxControlTransfer);
  const uint32_t status = open_ ? mbim::kStatusSuccess : mbim::kStatusFailure;
  send({mbim::Type::open_done, m.transaction, 0, status, {}, 0, {}, {}}, replies);
}

std::optional<qmux::Frame> MbimFraming::on_command(const mbim::Message& m, Writes& replies) {
  if (!open_) {
    error(mbim::ProtocolError::not_opened, m.transaction, replies);
    return std::nullopt;
  }
  if (m.service == mbim::kBasicConnect && m.cid == mbim::kCidDeviceServices &&
      m.command_type == mbim::CommandType::query) {
    done(m, mbim::kStatusSuccess, mbim::encode_device_services(device_services()), replies);
    return std::nullopt;
  }
  if (m.service == mbim::kBasicConnect && m.cid == mbim::kCidDeviceServiceSubscribeList &&
      m.command_type == mbim::CommandType::set) {
    subscribe(m, replies);
    return std::nullopt;
  }
  if (settings_.offers_qmi && m.service == mbim::kQmiService && m.cid == mbim::kCidQmiMessage &&
      m.command_type == mbim::CommandType::set)
    return tunnel(m, replies);
  done(m, mbim::kStatusNoDeviceSupport, {}, replies);
  return std::nullopt;
}

// The information buffer holds one whole QMUX frame from the host.
std::optional<qmux::Frame> MbimFraming::tunnel(const mbim::Message& m, Writes& replies) {
  qmux::Frame frame;
  size_t size = 0;
  if (qmux::parse_frame(m.information, frame, size) != qmux::ParseStatus::ok ||
      size != m.information.size() || frame.sender != qmux::Sender::host) {
    done(m, mbim::kStatusInvalidParameters, {}, replies);
    return std::nullopt;
  }
  remember(frame, m.transaction);
  return frame;
}

// The list replaces the one before; the answer tells what was taken.
void MbimFraming::subscribe(const mbim::Message& m, Writes& replies) {
  const auto events = mbim::parse_subscribe_list(m.information);
  if (!events) return done(m, mbim::kStatusInvalidParameters, {}, replies);
  qmi_indications_ = false;
  for (const auto& e : *events) {
    if (settings_.offers_qmi && e.service == mbim::kQmiService &&
        std::find(e.cids.begin(), e.cids.end(), mbim::kCidQmiMessage) != e.cids.end())
      qmi_indications_ = true;
  }
  done(m, mbim::kStatusSuccess, mbim::encode_subscribe_list(*events), replies);
}

void MbimFraming::remember(const qmux::Frame& request, uint32_t transaction) {
  if (waiting_.size() >= kMaxWaitingRequests) waiting_.erase(waiting_.begin());
  waiting_[{request.service, request.client_id, request.transaction}] = transaction;
}

Writes MbimFraming::wrap(const Writes& writes) {
  Writes out;
  // A function says nothing before it is opened.
  if (!open_) return out;
  for (const auto& write : writes) {
    if (const auto m = carrying(write)) send(*m, out);
  }
  return out;
}

// The modem's answer goes back on the transaction of its request; anything
// else, noise a scenario asked for included, is an indication.
std::optional<mbim::Message> MbimFraming::carrying(const std::vector<uint8_t>& write) {
  mbim::Message m{mbim::Type::indicate_status, 0,  0,    0, mbim::kQmiService,
                  mbim::kCidQmiMessage,        {}, write};
  qmux::Frame frame;
  size_t size = 0;
  if (qmux::parse_frame(write, frame, size) != qmux::ParseStatus::ok || size != write.size() ||
      frame.kind != qmux::MessageKind::response) {
    if (!qmi_indications_) return std::nullopt;
    return m;
  }
  const auto it = waiting_.find({frame.service, frame.client_id, frame.transaction});
  if (it == waiting_.end()) return std::nullopt;  // asked before the host opened again
  m.type = mbim::Type::command_done;
  m.transaction = it->second;
  m.status = mbim::kStatusSuccess;
  waiting_.erase(it);
  return m;
}

mbim::DeviceServices MbimFraming::device_services() const {
  mbim::DeviceServices list{0, {{mbim::kBasicConnect, 0, 0, {mbim::kCidDeviceServices}}}};
  if (settings_.offers_qmi)
    list.services.push_back({mbim::kQmiService, 0, 0, {mbim::kCidQmiMessage}});
  return list;
}

void MbimFraming::send(const mbim::Message& m, Writes& out) const {
  for (auto& transfer : mbim::encode(m, transfer_size_)) out.push_back(std::move(transfer));
}

void MbimFraming::done(const mbim::Message& command, uint32_t status,
                       std::vector<uint8_t> information, Writes& replies) const {
  send({mbim::Type::command_done, command.transaction, 0, status, command.service, command.cid,
        mbim::CommandType::query, std::move(information)},
       replies);
}

void MbimFraming::error(mbim::ProtocolError code, uint32_t transaction, Writes& replies) const {
  send({mbim::Type::function_error, transaction, 0, static_cast<uint32_t>(code), {}, 0, {}, {}},
       replies);
}

}  // namespace

std::unique_ptr<HostFraming> make_mbim_framing(const MbimSettings& settings) {
  return std::make_unique<MbimFraming>(settings);
}

}  // namespace vant::sim
