#include "daemon/modem_side.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "daemon/failure.h"
#include "daemon/log.h"

namespace vant::daemon {
namespace {

constexpr size_t kModemFull = 0;

}  // namespace

ModemSide::ModemSide(std::unique_ptr<LinkSource> source, EventSet& events, size_t link_slot,
                     size_t watch_slot, ModemSideListener& listener)
    : source_(std::move(source)),
      events_(events),
      link_slot_(link_slot),
      watch_slot_(watch_slot),
      listener_(listener) {}

ModemSide::~ModemSide() = default;

// ---- The link ---------------------------------------------------------------------

void ModemSide::try_open(TimePoint now) {
  next_link_attempt_ = now + kRetryInterval;
  std::string why;
  std::unique_ptr<ModemLink> link = source_->open(why);
  if (!link) {
    // Said once, not every second.
    if (why != last_link_failure_) VANT_LOG_INFO("no modem: %s", why.c_str());
    last_link_failure_ = why;
    return;
  }
  modem_ = std::make_unique<Connection>(make_transport(std::move(link)));
  if (!watch_link(why)) {
    if (why != last_link_failure_) VANT_LOG_WARNING("modem link unusable: %s", why.c_str());
    last_link_failure_ = why;
    modem_.reset();
    return;
  }
  last_link_failure_.clear();
  node_ = modem_->transport->link().node();
  VANT_LOG_NOTICE("modem link open on %s (%s)", node_.c_str(), modem_->transport->name());
  presence_.link_opened();
  TransportInput in;
  modem_->transport->start(now, in);
  take_input(in, now);
}

bool ModemSide::watch_link(std::string& why) {
  link_writes_watched_ = false;
  const ModemLink& link = modem_->transport->link();
  if (events_.add(link_slot_, link.fd()) &&
      (link.watch_fd() < 0 || events_.add(watch_slot_, link.watch_fd())))
    return true;
  why = std::string("cannot wait for it: ") + std::strerror(errno);
  unwatch_link(link);
  return false;
}

void ModemSide::unwatch_link(const ModemLink& link) {
  events_.remove(link.fd());
  if (link.watch_fd() >= 0) events_.remove(link.watch_fd());
  link_writes_watched_ = false;
}

void ModemSide::before_wait() {
  // Bytes the modem has not taken yet are written when it can take more.
  if (!modem_) return;
  const bool wanted = modem_->transport->wants_write();
  if (wanted == link_writes_watched_) return;
  if (events_.change(link_slot_, modem_->transport->link().fd(), wanted))
    link_writes_watched_ = wanted;
}

void ModemSide::on_events(short revents, bool node_changed, TimePoint now) {
  if (!modem_) return;
  ModemTransport& transport = *modem_->transport;
  TransportInput in;
  if (revents & POLLOUT) transport.on_writable(in);
  if (in.lost.empty() && (revents & (POLLIN | POLLHUP | POLLERR)))
    transport.on_readable(revents, now, in);
  if (in.lost.empty() && node_changed) {
    transport.link().drain_watch();
    if (!transport.link().still_present()) in.lost = "its device node was removed";
  }
  take_input(in, now);
}

std::optional<TimePoint> ModemSide::next_deadline(bool looking) const {
  std::optional<TimePoint> next;
  auto consider = [&next](std::optional<TimePoint> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  if (modem_) consider(modem_->session.next_deadline());
  if (modem_) consider(modem_->transport->deadline());
  // Without a modem we look for it again; with one we check that its node
  // is still there.
  if (looking) consider(next_link_attempt_);
  return next;
}

void ModemSide::on_timer(TimePoint now, bool looking) {
  if (modem_) {
    TransportInput in;
    modem_->transport->on_timer(now, in);
    modem_->session.on_timer(now);
    take_input(in, now);
  }
  if (!looking || now < next_link_attempt_) return;
  next_link_attempt_ = now + kRetryInterval;
  if (!modem_) {
    try_open(now);
  } else if (!modem_->transport->link().still_present()) {
    link_lost("its device node was removed");
  }
}

// What the transport brought, in order: the end of its handshake, frames
// for the session, and last the loss of the link.
void ModemSide::take_input(TransportInput& in, TimePoint now) {
  if (!modem_) return;
  if (in.became_ready) {
    presence_.transport_ready();
    start_session(now);
  }
  for (const auto& frame : in.frames) modem_->session.on_frame(frame, now);
  carry_out_session_work();
  if (modem_ && !in.lost.empty()) link_lost(in.lost);
}

void ModemSide::start_session(TimePoint now) {
  if (modem_->transport->shared()) {
    modem_->session.start_shared(now);
  } else {
    modem_->session.start(now);
  }
}

void ModemSide::link_lost(const std::string& why) {
  VANT_LOG_WARNING("modem on %s lost: %s", node_.c_str(), why.c_str());
  const bool was_present = presence_.link_lost();
  auto modem = std::move(modem_);
  unwatch_link(modem->transport->link());
  listener_.modem_leaving();
  // Every request still waiting for the modem is answered now; nothing of
  // the session's own news counts any more.
  modem->session.fail_all(kFailNoDevice);
  while (auto event = modem->outbox.next_event()) on_session_event(*event, false);
  listener_.modem_gone(was_present);
  next_link_attempt_ = Clock::now() + kRetryInterval;
}

// ---- Requests -----------------------------------------------------------------------

void ModemSide::submit(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                       TimePoint deadline, TimePoint now) {
  if (!modem_) {
    // Callers look first; should one not, its request is still answered.
    SessionEvent failure;
    failure.kind = SessionEvent::Kind::answer;
    failure.origin = origin;
    failure.result = kFailNoDevice;
    failure.message_id = origin.message_id;
    failure.tlvs = failure_tlvs(kFailNoDevice);
    return listener_.session_answer(failure);
  }
  modem_->session.submit(origin, tlvs, deadline, now);
  carry_out_session_work();
}

size_t ModemSide::outstanding(uint8_t pair) const {
  return modem_ ? modem_->session.outstanding(pair) : 0;
}

void ModemSide::forget_pair(uint8_t pair) {
  if (modem_) modem_->session.forget_pair(pair);
}

void ModemSide::stop(TimePoint now, uint32_t code) {
  if (!modem_) return;
  modem_->session.release_all(now);
  modem_->session.fail_all(code);
  carry_out_session_work();
}

bool ModemSide::releasing() const {
  return modem_ && modem_->session.releasing();
}

void ModemSide::close() {
  if (modem_) modem_->transport->close();
}

// ---- The session's work -----------------------------------------------------------

void ModemSide::carry_out_session_work() {
  // An event may hand the session more (the identity probe, the change
  // keeper, deferred requests); the loop goes on until nothing is left.
  while (modem_) {
    if (!send_frames(*modem_)) return;
    auto event = modem_->outbox.next_event();
    if (!event) break;
    on_session_event(*event, true);
  }
  if (modem_) listener_.modem_settled();
}

bool ModemSide::send_frames(Connection& modem) {
  TransportInput in;
  for (const auto& frame : modem.outbox.take_frames()) {
    if (!modem.transport->send(frame, in))
      drop_log_.line(kModemFull, Clock::now(), LogLevel::warning,
                     "the modem takes no frames: dropped one for service 0x%02X", frame.service);
    if (!in.lost.empty()) break;
  }
  if (in.lost.empty()) return true;
  link_lost(in.lost);
  return false;
}

void ModemSide::on_session_event(const SessionEvent& event, bool current) {
  switch (event.kind) {
    case SessionEvent::Kind::answer:
      if (event.origin.pair != kDaemonOrigin) return listener_.session_answer(event);
      if (current && presence_.state() == ModemState::identifying &&
          event.result != kFailModemRestarted &&
          probe_.on_answer(event.origin, event.result, event.tlvs))
        become_present();
      return;
    case SessionEvent::Kind::indication:
      return listener_.session_indication(event);
    default:
      if (current) on_session_news(event.kind);
      return;
  }
}

void ModemSide::on_session_news(SessionEvent::Kind news) {
  switch (news) {
    case SessionEvent::Kind::ready:
      presence_.session_ready();
      return probe_.start(modem_->session, Clock::now());
    case SessionEvent::Kind::silent:
      // A modem counts as present only once it answers: until then, clients
      // are told at once that there is none rather than wait for its identity.
      presence_.sync_unanswered();
      return listener_.modem_leaving();
    case SessionEvent::Kind::restarted:
      // Identification starts over: what the restart failed tells nothing.
      if (presence_.state() == ModemState::identifying)
        return probe_.start(modem_->session, Clock::now());
      if (presence_.present()) listener_.modem_restarted();
      return;
    case SessionEvent::Kind::answer:
    case SessionEvent::Kind::indication:
      return;
  }
}

// ---- Presence -----------------------------------------------------------------------

void ModemSide::become_present() {
  const ModemIdentity& identity = probe_.identity();
  // Nobody hears of a modem that is not ours.
  std::string why;
  if (!source_->identified(identity.imei, why))
    return link_lost("not the modem this daemon drives: " + why);
  key_ = device_key(identity, node_);
  presence_.identified();
  VANT_LOG_NOTICE("modem present on %s: model \"%s\", firmware \"%s\"", node_.c_str(),
                  identity.model.c_str(), identity.revision.c_str());
  listener_.modem_present();
}

DeviceView ModemSide::view() const {
  DeviceView view;
  view.presence = presence_.device_presence();
  view.node = node_;
  view.key = key_;
  view.identity = probe_.identity();
  return view;
}

}  // namespace vant::daemon
