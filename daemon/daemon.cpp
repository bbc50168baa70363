#include "daemon/daemon.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "daemon/failure.h"
#include "daemon/log.h"
#include "sdk/core/channels.h"

namespace vant::daemon {
namespace {

// Datagrams taken from one socket per turn of the loop, so that one busy
// client cannot starve the others.
constexpr int kDatagramsPerTurn = 16;

// The loop's event slots, in the order a turn serves them.
constexpr size_t kStopSlot = 0;
constexpr size_t kPresenceSlot = 1;
constexpr size_t request_slot(size_t pair) {
  return 2 + 2 * pair;
}
constexpr size_t notification_slot(size_t pair) {
  return 3 + 2 * pair;
}
constexpr size_t kLinkSlot = 2 + 2 * kChannelPairs;
constexpr size_t kWatchSlot = kLinkSlot + 1;
static_assert(kWatchSlot < EventSet::kSlots);

const char* channel_name(uint32_t number) {
  return kChannelTable[number].name;
}

TimePoint deadline_for(uint32_t timeout_ms, TimePoint now) {
  if (timeout_ms == 0) return now + Daemon::kNoLimitCap;
  return now + std::chrono::milliseconds(timeout_ms);
}

int poll_timeout(std::optional<TimePoint> wakeup) {
  if (!wakeup) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wakeup - Clock::now());
  return static_cast<int>(std::clamp<int64_t>(wait.count(), 0, 60000));
}

}  // namespace

Daemon::Daemon(ClientEndpoints endpoints, std::unique_ptr<LinkSource> source,
               std::optional<ChangeJournal> journal)
    : endpoints_(std::move(endpoints)),
      stop_event_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      modem_(std::move(source), events_, kLinkSlot, kWatchSlot,
             static_cast<ModemSideListener&>(*this)),
      device_service_(static_cast<uint32_t>(getpid())),
      changes_(std::move(journal), static_cast<ChangePort&>(*this)) {
  bool watched = events_.valid() && events_.add(kStopSlot, stop_event_.get()) &&
                 events_.add(kPresenceSlot, endpoints_.presence().fd());
  for (size_t pair = 0; pair < kChannelPairs && watched; ++pair) {
    ChannelPair& channel = endpoints_.pair(pair);
    watched = events_.add(request_slot(pair), channel.requests->fd()) &&
              events_.add(notification_slot(pair), channel.notifications->fd());
  }
  if (!watched) events_error_ = errno;
}

Daemon::~Daemon() = default;

void Daemon::request_stop() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(stop_event_.get(), &one, sizeof one);
}

int Daemon::run() {
  if (events_error_ != 0) {
    VANT_LOG_ERROR("cannot wait for the client sockets: %s", std::strerror(events_error_));
    return 1;
  }
  VANT_LOG_NOTICE("serving clients; modem: %s", modem_.describe().c_str());
  changes_.start(Clock::now());
  modem_.try_open(Clock::now());
  while (true) {
    const TimePoint now = Clock::now();
    // Without a working wait the modem's confirmations cannot be read
    // either: the releases went out, and the loop would only spin.
    if (stopping_ && (failed_ || !modem_.releasing() || now >= stop_deadline_)) break;
    poll_once();
  }
  if (modem_.releasing())
    VANT_LOG_WARNING("the modem did not confirm the release of every client id");
  modem_.close();
  VANT_LOG_NOTICE("%s", failed_ ? "ended after a failure" : "ended");
  return failed_ ? 1 : 0;
}

// ---- The loop ---------------------------------------------------------------

void Daemon::poll_once() {
  modem_.before_wait();
  EventSet::Ready ready;
  const int n = events_.wait(ready, poll_timeout(next_wakeup()));
  if (n < 0) {
    VANT_LOG_ERROR("waiting for events failed: %m");
    failed_ = true;
    begin_stop(Clock::now(), "waiting for events failed");
    return;
  }
  const TimePoint now = Clock::now();
  if (n > 0) {
    if (ready[kStopSlot] != 0) {
      uint64_t count;
      [[maybe_unused]] const ssize_t r = read(stop_event_.get(), &count, sizeof count);
      begin_stop(now, "asked to stop");
    }
    if (ready[kPresenceSlot] != 0) drain_and_drop(endpoints_.presence(), "the presence socket");
    for (size_t pair = 0; pair < kChannelPairs; ++pair) {
      if (ready[request_slot(pair)] != 0) drain_requests(pair);
      if (ready[notification_slot(pair)] != 0)
        drain_and_drop(*endpoints_.pair(pair).notifications, "a notification channel");
    }
    if (ready[kLinkSlot] != 0 || ready[kWatchSlot] != 0)
      modem_.on_events(ready[kLinkSlot], ready[kWatchSlot] != 0, now);
  }
  on_timer(Clock::now());
}

std::optional<TimePoint> Daemon::next_wakeup() const {
  std::optional<TimePoint> next;
  auto consider = [&next](std::optional<TimePoint> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  consider(modem_.next_deadline(!stopping_));
  consider(deferred_.next_deadline());
  if (!stopping_) consider(changes_.next_deadline());
  if (stopping_) consider(stop_deadline_);
  return next;
}

void Daemon::on_timer(TimePoint now) {
  modem_.on_timer(now, !stopping_);
  settle_deferred(now);
  if (!stopping_) changes_.on_timer(now);
}

// ---- Clients ------------------------------------------------------------------

// A user we do not serve learns so at once, in the answer it waits for.
// Only the sender's own socket hears it (the sender check came first), and
// nothing of the pair changes.
void Daemon::refuse_stranger(size_t pair, std::span<const uint8_t> datagram) {
  const ParsedDatagram parsed = parse_client_datagram(datagram);
  const bool has_header = parsed.kind == DatagramKind::qmi_request || parsed.answerable;
  if (!has_header) return;
  reply(pair, parsed.qmi, kFailUserNotServed, parsed.qmi.message_id,
        failure_tlvs(kFailUserNotServed));
}

void Daemon::drain_requests(size_t pair) {
  uint8_t buffer[kAmBufferSize + 1];
  for (int i = 0; i < kDatagramsPerTurn; ++i) {
    const auto received = endpoints_.pair(pair).requests->receive(buffer);
    if (!received) return;
    const TimePoint now = Clock::now();
    const std::span<const uint8_t> datagram(buffer, std::min(received->size, kAmBufferSize));
    switch (admission_.judge(endpoints_.pair(pair), *received, now)) {
      case ClientAdmission::Verdict::drop:
        continue;
      case ClientAdmission::Verdict::refuse_stranger:
        refuse_stranger(pair, datagram);
        continue;
      case ClientAdmission::Verdict::admit:
        break;
    }
    const pid_t sender = received->credentials.pid;
    if (admission_.replaces(pair, sender)) {
      VANT_LOG_DEBUG("a new client on %s", channel_name(endpoints_.pair(pair).request_number));
      client_gone(pair);
    }
    admission_.heard(pair, sender);
    on_datagram(pair, datagram, now);
  }
}

void Daemon::drain_and_drop(DatagramSocket& socket, const char* what) {
  uint8_t buffer[64];
  for (int i = 0; i < kDatagramsPerTurn && socket.receive(buffer); ++i)
    drop_log_.line(kStrayDatagram, Clock::now(), LogLevel::debug, "dropped a datagram sent to %s",
                   what);
}

void Daemon::on_datagram(size_t pair, std::span<const uint8_t> datagram, TimePoint now) {
  const ParsedDatagram parsed = parse_client_datagram(datagram);
  const char* name = channel_name(endpoints_.pair(pair).request_number);
  switch (parsed.kind) {
    case DatagramKind::qmi_request:
      return on_qmi_request(pair, parsed.qmi, now);
    case DatagramKind::sdk_request:
      return on_sdk_request(pair, parsed.sdk_type);
    case DatagramKind::rejected:
      drop_log_.line(kRejected, now, LogLevel::warning, "%s on %s (%zu bytes)%s", parsed.problem,
                     name, datagram.size(),
                     parsed.answerable ? ": answered as malformed" : ": dropped");
      if (parsed.answerable) {
        const uint32_t code = kQmiErrorBase + kQmiErrorMalformed;
        reply(pair, parsed.qmi, code, parsed.qmi.message_id, failure_tlvs(code));
      }
      return;
  }
}

void Daemon::on_qmi_request(size_t pair, const QmiRequest& request, TimePoint now) {
  const uint8_t service = request.header.service;
  auto refuse = [&](uint32_t code) {
    reply(pair, request, code, request.message_id, failure_tlvs(code));
  };
  if (service == kDeviceServiceNumber) return on_device_request(pair, request, now);
  // The control service is the daemon's alone: a client's Sync or Release
  // would pull client ids away from every other client.
  if (service == qmux::kServiceCtl) return refuse(kFailServiceNotSupported);
  if (request.header.instance >= kClientInstances) return refuse(kFailNoInterface);
  if (stopping_) return refuse(kFailNotConnected);
  if (service == kChangeServiceNumber) return on_change_request(pair, request, now);
  if (!modem_.connected() || modem_.presence().device_presence() == DevicePresence::absent)
    return refuse(kFailNoDevice);
  if (modem_.outstanding(static_cast<uint8_t>(pair)) >= kMaxOutstandingPerClient)
    return refuse(kFailTooMany);
  RequestOrigin origin;
  origin.pair = static_cast<uint8_t>(pair);
  origin.transaction = request.transaction;
  origin.header = request.header;
  origin.message_id = request.message_id;
  modem_.submit(origin, request.tlvs, deadline_for(request.header.timeout, now), now);
}

void Daemon::on_sdk_request(size_t pair, uint8_t type) {
  constexpr uint8_t kStatus = 0;
  constexpr uint8_t kNotImplemented = 2;
  constexpr uint32_t kApiNotImplemented = 0xE001;
  if (type == kSdkRequestTerminate) return begin_stop(Clock::now(), "a client asked to terminate");
  std::vector<uint8_t> datagram;
  if (type == kStatus) {
    // Status: our process id and the device state.
    datagram = build_sdk_response(type, 0, static_cast<uint32_t>(getpid()),
                                  modem_.presence().present() ? 1 : 0);
  } else if (type == kNotImplemented) {
    datagram = build_sdk_response(type, kApiNotImplemented, 0, 0);
  } else {
    drop_log_.line(kUnknownSdkRequest, Clock::now(), LogLevel::warning,
                   "dropped an SDK request of unknown type %u", type);
    return;
  }
  send_to_client(pair, false, datagram);
}

void Daemon::on_device_request(size_t pair, const QmiRequest& request, TimePoint now) {
  const DeviceReply r =
      device_service_.handle(pair, request.message_id, request.tlvs, modem_.view());
  if (!r.defer) return reply(pair, request, r.result, request.message_id, r.tlvs);
  // The modem queue's cap holds here too: a runaway client must not make
  // the daemon hold its every datagram while the modem is identified.
  if (!deferred_.add(pair, request, deadline_for(request.header.timeout, now)))
    return reply(pair, request, kFailTooMany, request.message_id, failure_tlvs(kFailTooMany));
}

void Daemon::on_change_request(size_t pair, const QmiRequest& request, TimePoint now) {
  ClientTicket ticket{pair, request};
  ticket.request.tlvs = {};
  changes_.handle(ticket, request.tlvs, modem_.presence().present(), modem_.key(), now);
}

void Daemon::reply(size_t pair, const QmiRequest& request, uint32_t result, uint16_t message_id,
                   std::span<const uint8_t> tlvs) {
  if (tlvs.size() + 4 > kMaxClientMessage) {
    drop_log_.line(kAnswerTooLarge, Clock::now(), LogLevel::warning,
                   "an answer of %zu bytes does not fit a client's buffer", tlvs.size());
    const auto failure = failure_tlvs(kFailResponseTooLarge);
    return send_to_client(pair, false,
                          build_qmi_response(request, kFailResponseTooLarge, message_id, failure));
  }
  send_to_client(pair, false, build_qmi_response(request, result, message_id, tlvs));
}

void Daemon::send_to_client(size_t pair, bool notification, std::span<const uint8_t> datagram) {
  ChannelPair& channel = endpoints_.pair(pair);
  DatagramSocket& socket = notification ? *channel.notifications : *channel.requests;
  const sockaddr_un& peer = notification ? channel.notification_peer : channel.request_peer;
  const uint32_t number = notification ? channel.notification_number : channel.request_number;
  switch (socket.send_to(peer, datagram)) {
    case SendStatus::sent:
      return;
    case SendStatus::would_block:
      // A client that does not read loses datagrams; nobody else waits for it.
      drop_log_.line(kClientNotReading, Clock::now(), LogLevel::warning,
                     "the client on %s does not read: dropped a datagram", channel_name(number));
      return;
    case SendStatus::no_peer:
      drop_log_.line(kNoClient, Clock::now(), LogLevel::debug,
                     "no client on %s: dropped a datagram", channel_name(number));
      client_gone(pair);
      return;
    case SendStatus::failed:
      drop_log_.line(kSendFailed, Clock::now(), LogLevel::warning, "cannot send on %s: %m",
                     channel_name(number));
      return;
  }
}

void Daemon::client_gone(size_t pair) {
  device_service_.disconnect(pair);
  modem_.forget_pair(static_cast<uint8_t>(pair));
  deferred_.forget(pair);
  changes_.client_gone(pair);
  admission_.forget(pair);
}

// ---- The modem side's news -------------------------------------------------------

void Daemon::session_answer(const SessionEvent& a) {
  const RequestOrigin& origin = a.origin;
  if (origin.pair == kChangeOrigin)
    return changes_.on_answer(origin, a.result, a.tlvs, Clock::now());
  if (origin.pair >= kChannelPairs) return;
  QmiRequest request;
  request.transaction = origin.transaction;
  request.header = origin.header;
  reply(origin.pair, request, a.result, a.message_id, a.tlvs);
}

void Daemon::session_indication(const SessionEvent& indication) {
  const qmux::Frame& frame = indication.frame;
  if (indication.pair >= kChannelPairs) return;
  if (frame.tlvs.size() + 4 > kMaxClientMessage) {
    drop_log_.line(kIndicationTooLarge, Clock::now(), LogLevel::warning,
                   "dropped an indication of %zu bytes: too large for a client", frame.tlvs.size());
    return;
  }
  send_to_client(
      indication.pair, true,
      build_indication(frame.service, indication.instance, frame.message_id, frame.tlvs));
}

void Daemon::modem_present() {
  announce_state(true);
  settle_deferred(Clock::now());
  changes_.on_modem(true, modem_.key(), Clock::now());
}

void Daemon::modem_leaving() {
  changes_.on_modem(false, modem_.key(), Clock::now());
}

void Daemon::modem_gone(bool was_present) {
  settle_deferred(Clock::now());
  if (was_present) announce_state(false);
}

void Daemon::modem_restarted() {
  // Clients' indication registrations died with the modem's client ids: the
  // state going 0 and back to 1 makes the client library register them again.
  announce_state(false);
  announce_state(true);
}

void Daemon::modem_settled() {
  settle_deferred(Clock::now());
}

void Daemon::announce_state(bool present) {
  const auto tlvs = DeviceService::state_indication(present, modem_.view().node);
  const auto datagram = build_indication(kDeviceServiceNumber, 0, kDeviceStateIndication, tlvs);
  for (size_t pair = 0; pair < kChannelPairs; ++pair)
    if (device_service_.connected(pair)) send_to_client(pair, true, datagram);
}

void Daemon::settle_deferred(TimePoint now) {
  const ModemPresence& presence = modem_.presence();
  const bool wait_over = stopping_ || presence.device_presence() != DevicePresence::identifying;
  for (auto& d : deferred_.take_due(wait_over, now)) {
    if (presence.present()) {
      on_device_request(d.pair, d.request, now);
    } else {
      reply(d.pair, d.request, kFailNoDevice, d.request.message_id, failure_tlvs(kFailNoDevice));
    }
  }
}

// ---- The change keeper's requests -----------------------------------------------

void Daemon::send_to_modem(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                           TimePoint deadline) {
  if (!modem_.serving()) {
    const auto failure = failure_tlvs(kFailNoDevice);
    return changes_.on_answer(origin, kFailNoDevice, failure, Clock::now());
  }
  modem_.submit(origin, tlvs, deadline, Clock::now());
}

void Daemon::answer_client(const ClientTicket& ticket, uint32_t result,
                           std::span<const uint8_t> tlvs) {
  reply(ticket.pair, ticket.request, result, ticket.request.message_id, tlvs);
}

// ---- Ending -------------------------------------------------------------------------

void Daemon::begin_stop(TimePoint now, const char* why) {
  if (stopping_) return;
  VANT_LOG_NOTICE("ending: %s", why);
  stopping_ = true;
  stop_deadline_ = now + kReleaseWait;
  settle_deferred(now);
  modem_.stop(now, kFailNotConnected);
}

}  // namespace vant::daemon
