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

constexpr size_t kReadChunk = 4096;
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
      source_(std::move(source)),
      stop_event_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
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
  VANT_LOG_NOTICE("serving clients; modem: %s", source_->describe().c_str());
  changes_.start(Clock::now());
  try_open_link(Clock::now());
  while (true) {
    const TimePoint now = Clock::now();
    // Without a working wait the modem's confirmations cannot be read
    // either: the releases went out, and the loop would only spin.
    if (stopping_ && (failed_ || !session_ || !session_->releasing() || now >= stop_deadline_))
      break;
    poll_once();
  }
  if (session_ && session_->releasing())
    VANT_LOG_WARNING("the modem did not confirm the release of every client id");
  VANT_LOG_NOTICE("%s", failed_ ? "ended after a failure" : "ended");
  return failed_ ? 1 : 0;
}

// ---- The loop ---------------------------------------------------------------

void Daemon::poll_once() {
  watch_link_writes();
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
    if (link_) {
      const short revents = ready[kLinkSlot];
      if (revents & POLLOUT) on_link_writable();
      if (link_ && (revents & (POLLIN | POLLHUP | POLLERR))) on_link_readable(revents, now);
      if (link_ && ready[kWatchSlot] != 0) on_node_changed();
    }
  }
  if (link_ && link_failed_ != 0)
    link_lost(std::string("writing failed: ") + std::strerror(link_failed_));
  on_timer(Clock::now());
  drop_refused_link();
}

void Daemon::drop_refused_link() {
  if (link_refused_.empty()) return;
  const std::string why = std::exchange(link_refused_, {});
  if (link_) link_lost("not the modem this daemon drives: " + why);
}

std::optional<TimePoint> Daemon::next_wakeup() const {
  std::optional<TimePoint> next;
  auto consider = [&next](std::optional<TimePoint> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  if (session_) consider(session_->next_deadline());
  if (link_) consider(reassembler_.deadline());
  for (const auto& d : deferred_) consider(d.deadline);
  if (!stopping_) consider(changes_.next_deadline());
  // Without a modem we look for it again; with one we check that its node
  // is still there.
  if (!stopping_) consider(next_link_attempt_);
  if (stopping_) consider(stop_deadline_);
  return next;
}

void Daemon::on_timer(TimePoint now) {
  if (link_ && reassembler_.expire(now)) {
    VANT_LOG_WARNING("gave up a frame from the modem that did not complete within %lld ms",
                     static_cast<long long>(qmux::TimedReassembler::kPartialFrameTimeout.count()));
    deliver_frames(now);  // what followed its start may be whole frames
  }
  if (session_) session_->on_timer(now);
  settle_deferred(false, now);
  if (!stopping_) changes_.on_timer(now);
  if (stopping_ || now < next_link_attempt_) return;
  next_link_attempt_ = now + kRetryInterval;
  if (!link_) {
    try_open_link(now);
  } else if (!link_->still_present()) {
    link_lost("its device node was removed");
  }
}

// ---- Clients ------------------------------------------------------------------

bool Daemon::trusted(const ReceivedDatagram& received) const {
  if (!received.has_credentials) return false;
  const ucred& sender = received.credentials;
  if (sender.uid == 0 || sender.uid == geteuid()) return true;
  return allowed_group_ && sender_in_group(sender, *allowed_group_);
}

// Whether a datagram on a pair may act on it at all. Checked before anything
// in it is read: a datagram from another socket than the pair's client's must
// not make us forget that client, answer it, or send it indications.
bool Daemon::admitted(size_t pair, const ReceivedDatagram& received,
                      std::span<const uint8_t> datagram, TimePoint now) {
  const ChannelPair& channel = endpoints_.pair(pair);
  const char* name = channel_name(channel.request_number);
  if (!sent_by_pair_client(channel, received)) {
    drop_log_.line(kNotFromClient, now, LogLevel::warning,
                   "dropped a datagram on %s not sent from its client's socket", name);
    return false;
  }
  if (!trusted(received)) {
    drop_log_.line(
        kFromStranger, now, LogLevel::warning,
        "dropped a datagram on %s from uid %u (not root, not our user, not of a group allowed)",
        name, received.has_credentials ? received.credentials.uid : ~0u);
    if (!received.truncated) refuse_stranger(pair, datagram);
    return false;
  }
  if (received.truncated || received.size > kAmBufferSize) {
    drop_log_.line(kTooLong, now, LogLevel::warning,
                   "dropped a datagram on %s longer than %zu bytes", name, kAmBufferSize);
    return false;
  }
  return true;
}

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
    if (!admitted(pair, *received, datagram, now)) continue;
    note_sender(pair, received->credentials.pid);
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
  if (!session_ || presence_ == DevicePresence::absent) return refuse(kFailNoDevice);
  if (session_->outstanding(static_cast<uint8_t>(pair)) >= kMaxOutstandingPerClient)
    return refuse(kFailTooMany);
  RequestOrigin origin;
  origin.pair = static_cast<uint8_t>(pair);
  origin.transaction = request.transaction;
  origin.header = request.header;
  origin.message_id = request.message_id;
  session_->submit(origin, request.tlvs, deadline_for(request.header.timeout, now), now);
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
                                  presence_ == DevicePresence::present ? 1 : 0);
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
      device_service_.handle(pair, request.message_id, request.tlvs, device_view());
  if (!r.defer) return reply(pair, request, r.result, request.message_id, r.tlvs);
  // The modem queue's cap holds here too: a runaway client must not make
  // the daemon hold its every datagram while the modem is identified.
  const auto waiting = std::count_if(deferred_.begin(), deferred_.end(),
                                     [pair](const Deferred& d) { return d.pair == pair; });
  if (static_cast<size_t>(waiting) >= kMaxOutstandingPerClient)
    return reply(pair, request, kFailTooMany, request.message_id, failure_tlvs(kFailTooMany));
  Deferred d{pair,
             request,
             {request.tlvs.begin(), request.tlvs.end()},
             deadline_for(request.header.timeout, now)};
  deferred_.push_back(std::move(d));
  deferred_.back().request.tlvs = deferred_.back().tlvs;
}

void Daemon::on_change_request(size_t pair, const QmiRequest& request, TimePoint now) {
  ClientTicket ticket{pair, request};
  ticket.request.tlvs = {};
  changes_.handle(ticket, request.tlvs, presence_ == DevicePresence::present, key_, now);
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
  if (session_) session_->forget_pair(static_cast<uint8_t>(pair));
  std::erase_if(deferred_, [pair](const Deferred& d) { return d.pair == pair; });
  changes_.client_gone(pair);
  pair_pids_[pair] = 0;
}

void Daemon::note_sender(size_t pair, pid_t pid) {
  // A client exits without telling us; the next process to claim its pair
  // starts its transaction numbers afresh and must not receive the answers
  // meant for the first one, which could carry the very numbers it waits for.
  if (pair_pids_[pair] != 0 && pair_pids_[pair] != pid) {
    VANT_LOG_DEBUG("a new client on %s", channel_name(endpoints_.pair(pair).request_number));
    client_gone(pair);
  }
  pair_pids_[pair] = pid;
}

// ---- The modem ------------------------------------------------------------------

void Daemon::try_open_link(TimePoint now) {
  next_link_attempt_ = now + kRetryInterval;
  std::string why;
  link_ = source_->open(why);
  if (!link_) {
    // Said once, not every second.
    if (why != last_link_failure_) VANT_LOG_INFO("no modem: %s", why.c_str());
    last_link_failure_ = why;
    return;
  }
  if (!watch_link(why)) {
    if (why != last_link_failure_) VANT_LOG_WARNING("modem link unusable: %s", why.c_str());
    last_link_failure_ = why;
    link_.reset();
    return;
  }
  last_link_failure_.clear();
  link_refused_.clear();
  node_ = link_->node();
  VANT_LOG_NOTICE("modem link open on %s", node_.c_str());
  reassembler_ = qmux::TimedReassembler();
  writer_.clear();
  presence_ = DevicePresence::identifying;
  session_ = std::make_unique<ModemSession>(static_cast<SessionEvents&>(*this));
  session_->start(now);
}

bool Daemon::watch_link(std::string& why) {
  link_writes_watched_ = false;
  if (events_.add(kLinkSlot, link_->fd()) &&
      (link_->watch_fd() < 0 || events_.add(kWatchSlot, link_->watch_fd())))
    return true;
  why = std::string("cannot wait for it: ") + std::strerror(errno);
  unwatch_link();
  return false;
}

void Daemon::unwatch_link() {
  events_.remove(link_->fd());
  if (link_->watch_fd() >= 0) events_.remove(link_->watch_fd());
  link_writes_watched_ = false;
}

void Daemon::watch_link_writes() {
  // Frames the modem has not taken yet are written when it can take more.
  const bool wanted = link_ && !writer_.empty();
  if (!link_ || wanted == link_writes_watched_) return;
  if (events_.change(kLinkSlot, link_->fd(), wanted)) link_writes_watched_ = wanted;
}

void Daemon::on_link_readable(short revents, TimePoint now) {
  uint8_t chunk[kReadChunk];
  size_t got = 0;
  switch (link_->read(chunk, got)) {
    case LinkRead::again:
      // A QMI control device whose write to the modem failed keeps reporting
      // an error until it is written again; with nothing to read, polling it
      // again would only spin.
      if (revents & (POLLHUP | POLLERR | POLLNVAL))
        return link_lost("the device reported an error");
      return;
    case LinkRead::closed:
      return link_lost("the link closed");
    case LinkRead::failed:
      return link_lost(std::string("reading failed: ") + std::strerror(errno));
    case LinkRead::data:
      break;
  }
  reassembler_.feed(std::span<const uint8_t>(chunk, got), now);
  deliver_frames(now);
}

void Daemon::deliver_frames(TimePoint now) {
  while (session_) {
    const auto frame = reassembler_.next(now);
    if (!frame) break;
    session_->on_frame(*frame, now);
  }
}

void Daemon::on_node_changed() {
  link_->drain_watch();
  if (!link_->still_present()) link_lost("its device node was removed");
}

void Daemon::on_link_writable() {
  if (!writer_.flush(*link_)) link_lost(std::string("writing failed: ") + std::strerror(errno));
}

void Daemon::send_frame(const qmux::Frame& frame) {
  if (!link_) return;
  std::vector<uint8_t> bytes;
  if (!qmux::encode_frame(frame, bytes)) {
    VANT_LOG_WARNING("a frame for service 0x%02X does not fit QMUX framing", frame.service);
    return;
  }
  if (!writer_.queue(std::move(bytes))) {
    drop_log_.line(kModemFull, Clock::now(), LogLevel::warning,
                   "the modem takes no frames: dropped one for service 0x%02X", frame.service);
    return;
  }
  // Called from inside the session: a failed link is dealt with after the
  // session has returned, not here, so the session is not torn down under itself.
  if (!writer_.flush(*link_)) link_failed_ = errno;
}

void Daemon::link_lost(const std::string& why) {
  VANT_LOG_WARNING("modem on %s lost: %s", node_.c_str(), why.c_str());
  const bool was_present = presence_ == DevicePresence::present;
  presence_ = DevicePresence::absent;
  auto session = std::move(session_);
  unwatch_link();
  link_.reset();
  link_failed_ = 0;
  writer_.clear();
  changes_.on_modem(false, key_, Clock::now());
  if (session) session->fail_all(kFailNoDevice);
  settle_deferred(true, Clock::now());
  if (was_present) announce_state(false);
  next_link_attempt_ = Clock::now() + kRetryInterval;
}

void Daemon::session_ready() {
  presence_ = DevicePresence::identifying;
  probe_.start(*session_, Clock::now());
}

void Daemon::modem_silent() {
  // A modem counts as present only once it answers: until then, clients are
  // told at once that there is none rather than wait for its identity.
  presence_ = DevicePresence::absent;
  changes_.on_modem(false, key_, Clock::now());
  settle_deferred(true, Clock::now());
}

void Daemon::modem_restarted() {
  // Identification starts over: what the restart failed tells nothing.
  if (presence_ == DevicePresence::identifying) return probe_.start(*session_, Clock::now());
  // Clients' indication registrations died with the modem's client ids: the
  // state going 0 and back to 1 makes the client library register them again.
  if (presence_ != DevicePresence::present) return;
  announce_state(false);
  announce_state(true);
}

void Daemon::become_present() {
  const ModemIdentity& identity = probe_.identity();
  // Nobody hears of a modem that is not ours; it is dropped once the
  // session has returned.
  if (!source_->identified(identity.imei, link_refused_)) return;
  key_ = device_key(identity, node_);
  presence_ = DevicePresence::present;
  VANT_LOG_NOTICE("modem present on %s: model \"%s\", firmware \"%s\"", node_.c_str(),
                  identity.model.c_str(), identity.revision.c_str());
  announce_state(true);
  settle_deferred(false, Clock::now());
  changes_.on_modem(true, key_, Clock::now());
}

void Daemon::announce_state(bool present) {
  const auto tlvs = DeviceService::state_indication(present, node_);
  const auto datagram = build_indication(kDeviceServiceNumber, 0, kDeviceStateIndication, tlvs);
  for (size_t pair = 0; pair < kChannelPairs; ++pair)
    if (device_service_.connected(pair)) send_to_client(pair, true, datagram);
}

void Daemon::settle_deferred(bool force_failure, TimePoint now) {
  // Each is answered once the modem is identified or gone, or at its deadline.
  auto waiting = std::move(deferred_);
  deferred_.clear();
  for (auto& d : waiting) {
    const bool expired = force_failure || d.deadline <= now || stopping_;
    if (presence_ == DevicePresence::identifying && !expired) {
      deferred_.push_back(std::move(d));
      deferred_.back().request.tlvs = deferred_.back().tlvs;
      continue;
    }
    if (presence_ == DevicePresence::present) {
      on_device_request(d.pair, d.request, now);
    } else {
      reply(d.pair, d.request, kFailNoDevice, d.request.message_id, failure_tlvs(kFailNoDevice));
    }
  }
}

DeviceView Daemon::device_view() const {
  DeviceView view;
  view.presence = presence_;
  view.node = node_;
  view.key = key_;
  view.identity = probe_.identity();
  return view;
}

// ---- Answers from the session ----------------------------------------------------

void Daemon::answer(const RequestOrigin& origin, uint32_t result, uint16_t message_id,
                    std::span<const uint8_t> tlvs) {
  if (origin.pair == kChangeOrigin) return changes_.on_answer(origin, result, tlvs, Clock::now());
  if (origin.pair == kDaemonOrigin) {
    if (presence_ == DevicePresence::identifying && result != kFailModemRestarted &&
        probe_.on_answer(origin, result, tlvs))
      become_present();
    return;
  }
  if (origin.pair >= kChannelPairs) return;
  QmiRequest request;
  request.transaction = origin.transaction;
  request.header = origin.header;
  reply(origin.pair, request, result, message_id, tlvs);
}

void Daemon::indicate(uint8_t pair, uint8_t instance, const qmux::Frame& frame) {
  if (pair >= kChannelPairs) return;
  if (frame.tlvs.size() + 4 > kMaxClientMessage) {
    drop_log_.line(kIndicationTooLarge, Clock::now(), LogLevel::warning,
                   "dropped an indication of %zu bytes: too large for a client", frame.tlvs.size());
    return;
  }
  send_to_client(pair, true,
                 build_indication(frame.service, instance, frame.message_id, frame.tlvs));
}

// ---- The change keeper's requests -----------------------------------------------

void Daemon::send_to_modem(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                           TimePoint deadline) {
  if (!session_ || presence_ != DevicePresence::present) {
    const auto failure = failure_tlvs(kFailNoDevice);
    return changes_.on_answer(origin, kFailNoDevice, failure, Clock::now());
  }
  session_->submit(origin, tlvs, deadline, Clock::now());
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
  settle_deferred(true, now);
  if (!session_) return;
  session_->release_all(now);
  session_->fail_all(kFailNotConnected);
}

}  // namespace vant::daemon
