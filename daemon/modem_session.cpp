#include "daemon/modem_session.h"

#include <algorithm>

#include "daemon/failure.h"
#include "daemon/log.h"
#include "qmux/ctl.h"
#include "qmux/tlv.h"

namespace vant::daemon {
namespace {

uint32_t pair_bit(uint8_t pair) {
  return pair < 32 ? 1u << pair : 0;
}

}  // namespace

void ModemSession::start(TimePoint now) {
  phase_ = Phase::syncing;
  send_control(qmux::ctl::sync_request(0), {ControlKind::sync, 0, 0, now + kSyncTimeout});
}

void ModemSession::start_shared(TimePoint now) {
  become_ready(now);
}

void ModemSession::become_ready(TimePoint now) {
  if (phase_ == Phase::ready) return;
  phase_ = Phase::ready;
  for (auto& [key, slot] : slots_)
    if (slot.state == SlotState::none && !slot.waiting.empty()) allocate(key, now);
  events_.session_ready();
}

void ModemSession::submit(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                          TimePoint deadline, TimePoint now) {
  const SlotKey key{origin.header.service, origin.header.instance};
  ClientSlot& slot = slots_[key];
  slot.pairs |= pair_bit(origin.pair);
  if (phase_ == Phase::ready && slot.state == SlotState::allocated)
    return send_request(origin, tlvs, deadline, slot);
  slot.waiting.push_back(Queued{origin, {tlvs.begin(), tlvs.end()}, deadline});
  if (phase_ == Phase::ready && slot.state == SlotState::none) allocate(key, now);
}

void ModemSession::allocate(SlotKey key, TimePoint now) {
  slots_[key].state = SlotState::allocating;
  send_control(qmux::ctl::allocate_client_id_request(0, key.first),
               {ControlKind::allocate, key.first, key.second, now + kControlTimeout});
}

uint8_t ModemSession::send_control(qmux::Frame frame, ControlPending pending) {
  uint8_t id = static_cast<uint8_t>(control_ids_.next());
  // After a wrap, step over ids whose answer we still wait for.
  for (int tries = 0; controls_.contains(id) && tries < 0xFF; ++tries)
    id = static_cast<uint8_t>(control_ids_.next());
  frame.transaction = id;
  controls_[id] = pending;
  events_.send_frame(frame);
  return id;
}

uint16_t ModemSession::next_transaction(uint8_t service, uint8_t client_id) {
  auto [it, inserted] = service_ids_.try_emplace(service, qmux::kServiceTransactionMax);
  uint16_t id = it->second.next();
  for (int tries = 0; pending_.contains({service, client_id, id}) && tries < 0xFFFF; ++tries)
    id = it->second.next();
  return id;
}

void ModemSession::send_request(const RequestOrigin& origin, std::span<const uint8_t> tlvs,
                                TimePoint deadline, const ClientSlot& slot) {
  qmux::Frame frame;
  frame.sender = qmux::Sender::host;
  frame.service = origin.header.service;
  frame.client_id = slot.client_id;
  frame.kind = qmux::MessageKind::request;
  frame.transaction = next_transaction(frame.service, frame.client_id);
  frame.message_id = origin.message_id;
  frame.tlvs.assign(tlvs.begin(), tlvs.end());
  pending_[{frame.service, frame.client_id, frame.transaction}] = {origin, deadline};
  events_.send_frame(frame);
}

void ModemSession::flush(SlotKey, ClientSlot& slot) {
  while (!slot.waiting.empty()) {
    const Queued queued = std::move(slot.waiting.front());
    slot.waiting.pop_front();
    send_request(queued.origin, queued.tlvs, queued.deadline, slot);
  }
}

void ModemSession::on_frame(const qmux::Frame& frame, TimePoint now) {
  if (frame.sender != qmux::Sender::modem) return;
  if (frame.service == qmux::kServiceCtl) return on_control(frame, now);
  if (frame.kind == qmux::MessageKind::response) return on_response(frame);
  if (frame.kind == qmux::MessageKind::indication) return on_indication(frame);
}

void ModemSession::on_control(const qmux::Frame& frame, TimePoint now) {
  if (frame.kind == qmux::MessageKind::indication) {
    if (qmux::ctl::is_sync_indication(frame)) on_restart();
    return;
  }
  if (frame.kind != qmux::MessageKind::response) return;
  const auto it = controls_.find(static_cast<uint8_t>(frame.transaction));
  if (it == controls_.end()) return;
  const ControlPending pending = it->second;
  controls_.erase(it);
  switch (pending.kind) {
    case ControlKind::sync:
      if (sync_unanswered_) VANT_LOG_NOTICE("the modem answers the control-service Sync now");
      sync_unanswered_ = false;
      become_ready(now);
      break;
    case ControlKind::allocate:
      on_allocated(pending, frame);
      break;
    case ControlKind::abandoned:
      release_late_grant(frame, now);
      break;
    case ControlKind::release:
      break;
  }
}

void ModemSession::on_allocated(const ControlPending& pending, const qmux::Frame& frame) {
  const SlotKey key{pending.service, pending.instance};
  ClientSlot& slot = slots_[key];
  const auto result = qmux::find_result(frame.tlvs);
  const auto id = qmux::ctl::parse_allocate_client_id_response(frame);
  if (result && result->ok() && id && id->service == pending.service) {
    slot.state = SlotState::allocated;
    slot.client_id = id->client_id;
    VANT_LOG_DEBUG("client id %u allocated for service 0x%02X instance %u", id->client_id,
                   pending.service, pending.instance);
    flush(key, slot);
    return;
  }
  // The modem refused (client ids exhausted, unknown service): every waiting
  // request learns the modem's own error.
  const uint16_t error = result && !result->ok() ? result->error : kQmiErrorMalformed;
  VANT_LOG_WARNING("modem refused a client id for service 0x%02X (QMI error 0x%04X)",
                   pending.service, error);
  slot.state = SlotState::none;
  qmux::TlvBuilder tlvs;
  tlvs.add_result(error);
  refuse_waiting(slot, 0, tlvs.area());
}

void ModemSession::release_late_grant(const qmux::Frame& frame, TimePoint now) {
  const auto result = qmux::find_result(frame.tlvs);
  const auto id = qmux::ctl::parse_allocate_client_id_response(frame);
  if (!result || !result->ok() || !id) return;
  VANT_LOG_DEBUG("releasing client id %u for service 0x%02X, granted after we stopped waiting",
                 id->client_id, id->service);
  send_control(qmux::ctl::release_client_id_request(0, *id),
               {ControlKind::release, id->service, 0, now + kControlTimeout});
}

void ModemSession::refuse_waiting(ClientSlot& slot, uint32_t result,
                                  std::span<const uint8_t> tlvs) {
  while (!slot.waiting.empty()) {
    const Queued queued = std::move(slot.waiting.front());
    slot.waiting.pop_front();
    events_.answer(queued.origin, result, queued.origin.message_id, tlvs);
  }
}

void ModemSession::on_response(const qmux::Frame& frame) {
  const auto it = pending_.find({frame.service, frame.client_id, frame.transaction});
  if (it == pending_.end()) {
    VANT_LOG_DEBUG("dropped a response nobody waits for (service 0x%02X, transaction %u)",
                   frame.service, frame.transaction);
    return;
  }
  const RequestOrigin origin = it->second.origin;
  pending_.erase(it);
  events_.answer(origin, 0, frame.message_id, frame.tlvs);
}

void ModemSession::on_indication(const qmux::Frame& frame) {
  // An indication for one client goes to the pairs that used that client; a
  // broadcast to every pair that used the service, once per pair.
  uint32_t delivered = 0;
  for (const auto& [key, slot] : slots_) {
    if (key.first != frame.service || slot.state != SlotState::allocated) continue;
    if (frame.client_id != qmux::kBroadcastClient && frame.client_id != slot.client_id) continue;
    for (uint8_t pair = 0; pair < 32; ++pair) {
      const uint32_t bit = pair_bit(pair);
      if ((slot.pairs & bit) == 0 || (delivered & bit) != 0) continue;
      delivered |= bit;
      events_.indicate(pair, key.second, frame);
    }
  }
}

void ModemSession::on_restart() {
  // A modem opens a fresh stream with this announcement; our own Sync, still
  // unanswered, is what we wait for then.
  if (phase_ == Phase::syncing) return;
  // A Sync from the modem means it restarted and dropped every client id:
  // fail what is pending and allocate afresh.
  VANT_LOG_WARNING("the modem restarted: pending requests fail, client ids are allocated afresh");
  fail_all(kFailModemRestarted);
  events_.modem_restarted();
}

void ModemSession::fail_all(uint32_t code) {
  const auto tlvs = failure_tlvs(code);
  auto pending = std::move(pending_);
  pending_.clear();
  for (const auto& [key, p] : pending) events_.answer(p.origin, code, p.origin.message_id, tlvs);
  auto slots = std::move(slots_);
  slots_.clear();
  for (auto& [key, slot] : slots) refuse_waiting(slot, code, tlvs);
  std::erase_if(controls_, [](const auto& c) { return c.second.kind == ControlKind::sync; });
  for (auto& [id, control] : controls_)
    if (control.kind == ControlKind::allocate) control.kind = ControlKind::abandoned;
}

void ModemSession::release_all(TimePoint now) {
  for (auto& [key, slot] : slots_) {
    if (slot.state != SlotState::allocated) continue;
    send_control(qmux::ctl::release_client_id_request(0, {key.first, slot.client_id}),
                 {ControlKind::release, key.first, key.second, now + kControlTimeout});
    slot.state = SlotState::none;
  }
}

bool ModemSession::releasing() const {
  return std::any_of(controls_.begin(), controls_.end(), [](const auto& c) {
    return c.second.kind == ControlKind::release || c.second.kind == ControlKind::abandoned;
  });
}

void ModemSession::forget_pair(uint8_t pair) {
  for (auto& [key, p] : pending_)
    if (p.origin.pair == pair) p.origin.pair = kOrphanOrigin;
  for (auto& [key, slot] : slots_) {
    slot.pairs &= ~pair_bit(pair);
    for (auto& q : slot.waiting)
      if (q.origin.pair == pair) q.origin.pair = kOrphanOrigin;
  }
}

size_t ModemSession::allocated_clients() const {
  return static_cast<size_t>(std::count_if(slots_.begin(), slots_.end(), [](const auto& s) {
    return s.second.state == SlotState::allocated;
  }));
}

size_t ModemSession::outstanding(uint8_t pair) const {
  size_t count = 0;
  for (const auto& [key, p] : pending_) count += p.origin.pair == pair;
  for (const auto& [key, slot] : slots_)
    for (const auto& q : slot.waiting) count += q.origin.pair == pair;
  return count;
}

void ModemSession::on_timer(TimePoint now) {
  expire_controls(now);
  // Called on every turn of the daemon's loop: the answer's TLVs are built
  // only when a request has run out of time.
  std::vector<uint8_t> tlvs;
  auto time_out = [&](const RequestOrigin& origin) {
    if (tlvs.empty()) tlvs = failure_tlvs(kFailTimedOut);
    events_.answer(origin, kFailTimedOut, origin.message_id, tlvs);
  };
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.deadline > now) {
      ++it;
      continue;
    }
    const RequestOrigin origin = it->second.origin;
    it = pending_.erase(it);
    time_out(origin);
  }
  for (auto& [key, slot] : slots_) {
    for (auto it = slot.waiting.begin(); it != slot.waiting.end();) {
      if (it->deadline > now) {
        ++it;
        continue;
      }
      const RequestOrigin origin = it->origin;
      it = slot.waiting.erase(it);
      time_out(origin);
    }
  }
}

void ModemSession::expire_controls(TimePoint now) {
  for (auto it = controls_.begin(); it != controls_.end();) {
    if (it->second.deadline > now) {
      ++it;
      continue;
    }
    const ControlPending pending = it->second;
    if (pending.kind == ControlKind::allocate) {
      // Its answer may still come; it then brings an id to give back.
      it->second.kind = ControlKind::abandoned;
      it->second.deadline = now + kControlTimeout;
      ++it;
    } else {
      it = controls_.erase(it);
    }
    if (pending.kind == ControlKind::sync) {
      on_sync_unanswered(now);
    } else if (pending.kind == ControlKind::allocate) {
      // The next request asks again; the waiting ones run into their own
      // deadlines meanwhile.
      auto slot = slots_.find({pending.service, pending.instance});
      if (slot != slots_.end() && slot->second.state == SlotState::allocating) {
        slot->second.state = SlotState::none;
        if (!slot->second.waiting.empty()) allocate(slot->first, now);
      }
    }
  }
}

// A modem that does not answer the control service is not there for us:
// what waits for it fails as it would without a modem, and the Sync goes out
// again until the modem answers it.
void ModemSession::on_sync_unanswered(TimePoint now) {
  if (!sync_unanswered_)
    VANT_LOG_WARNING(
        "the modem does not answer the control-service Sync; asking again every %lld ms",
        static_cast<long long>(kSyncTimeout.count()));
  sync_unanswered_ = true;
  const auto tlvs = failure_tlvs(kFailNoDevice);
  for (auto& [key, slot] : slots_) refuse_waiting(slot, kFailNoDevice, tlvs);
  events_.modem_silent();
  send_control(qmux::ctl::sync_request(0), {ControlKind::sync, 0, 0, now + kSyncTimeout});
}

std::optional<TimePoint> ModemSession::next_deadline() const {
  std::optional<TimePoint> next;
  auto consider = [&next](TimePoint t) {
    if (!next || t < *next) next = t;
  };
  for (const auto& [key, p] : pending_) consider(p.deadline);
  for (const auto& [key, c] : controls_) consider(c.deadline);
  for (const auto& [key, slot] : slots_)
    for (const auto& q : slot.waiting) consider(q.deadline);
  return next;
}

}  // namespace vant::daemon
