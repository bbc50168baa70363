#include "daemon/change_keeper.h"

#include <algorithm>
#include <utility>

#include "daemon/failure.h"
#include "daemon/log.h"
#include "qmux/tlv.h"

namespace vant::daemon {
namespace {

bool modem_said_yes(uint32_t result, std::span<const uint8_t> tlvs) {
  const auto qmi = qmux::find_result(tlvs);
  return result == 0 && qmi && qmi->ok();
}

std::vector<uint8_t> success_tlvs() {
  qmux::TlvBuilder b;
  b.add_result(0);
  return b.take();
}

// The daemon's codes for a modem that went away or restarted under a request.
bool modem_left(uint32_t result) {
  return result == kFailNoDevice || result == kFailModemRestarted;
}

std::string refusal_text(uint32_t result, std::span<const uint8_t> tlvs) {
  if (result != 0) return "daemon code " + std::to_string(result);
  const auto qmi = qmux::find_result(tlvs);
  if (!qmi) return "an answer without a result";
  return "QMI error " + std::to_string(qmi->error);
}

}  // namespace

int64_t system_wall_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ChangeKeeper::ChangeKeeper(std::optional<ChangeJournal> journal, ChangePort& port, WallClock wall,
                           std::string boot_id)
    : journal_(std::move(journal)),
      port_(port),
      wall_(std::move(wall)),
      boot_id_(std::move(boot_id)),
      // Ids of later runs follow on from earlier ones without a counter on disk.
      last_id_(static_cast<uint32_t>((wall_() / 1000) & 0x7FFFFFFF)) {}

// ---- Start-up -----------------------------------------------------------------

void ChangeKeeper::start(TimePoint now) {
  if (!journal_) return;
  std::string why;
  auto found = journal_->read(why);
  if (!why.empty()) VANT_LOG_ERROR("not taking up the change journal: %s", why.c_str());
  if (!found) return;
  record_ = std::move(*found);
  last_id_ = std::max(last_id_, record_->id);
  const bool rebooted = record_->boot_id != boot_id_;
  // A clock set back after a reboot must not stretch the hold.
  const int64_t left =
      rebooted ? 0
               : std::clamp<int64_t>(record_->deadline_ms - wall_(), 0, record_->revert_after_ms);
  deadline_ = now + std::chrono::milliseconds(left);
  VANT_LOG_NOTICE("took up change %u (%s) from %s: it is undone in %lld ms unless confirmed",
                  record_->id, record_->label.c_str(), journal_->path().c_str(),
                  static_cast<long long>(left));
  if (rebooted) make_due(now, "it was made before the last reboot");
}

// ---- Client requests ------------------------------------------------------------

void ChangeKeeper::handle(const ClientTicket& ticket, std::span<const uint8_t> tlvs,
                          bool modem_present, const DeviceKey& key, TimePoint now) {
  switch (ticket.request.message_id) {
    case kBeginChange:
      return begin(ticket, tlvs, modem_present, key, now);
    case kConfirmChange:
      return confirm(ticket, tlvs);
    case kRevertChange:
      return revert_now(ticket, tlvs, now);
    case kPendingChange:
      return pending(ticket);
    default:
      return refuse(ticket, kQmiErrorBase + 71);  // "Invalid/unknown QMI command specified"
  }
}

void ChangeKeeper::begin(const ClientTicket& ticket, std::span<const uint8_t> tlvs,
                         bool modem_present, const DeviceKey& key, TimePoint now) {
  if (record_) return refuse(ticket, kChangeAlreadyPending);
  ParsedBegin parsed = parse_begin(tlvs);
  if (!parsed.request) return refuse(ticket, parsed.refusal);
  if (!modem_present) return refuse(ticket, kFailNoDevice);
  BeginRequest& r = *parsed.request;
  ChangeRecord record;
  record.id = ++last_id_;
  record.started_ms = wall_();
  record.deadline_ms = record.started_ms + r.revert_after_ms;
  record.revert_after_ms = r.revert_after_ms;
  record.boot_id = boot_id_;
  record.device_key = key;
  record.label = std::move(r.label);
  record.previous = std::move(r.previous);
  record.restore = std::move(r.restore);
  record.read_back = std::move(r.read_back);
  record.expected = std::move(r.expected);
  std::string why;
  if (journal_ && !journal_->write(record, why)) {
    VANT_LOG_WARNING("refused change \"%s\": %s", record.label.c_str(), why.c_str());
    return refuse(ticket, kChangeNotDurable);
  }
  record_ = std::move(record);
  apply_ = std::move(r.apply);
  deadline_ = now + std::chrono::milliseconds(record_->revert_after_ms);
  begin_ticket_ = ticket;
  due_ = false;
  attempts_ = 0;
  send(Step::apply, apply_, now);
}

bool ChangeKeeper::names_this_change(const ClientTicket& ticket, std::span<const uint8_t> tlvs) {
  if (!record_) {
    refuse(ticket, kNoChangePending);
    return false;
  }
  const uint32_t id = requested_change_id(tlvs);
  if (id != 0 && id != record_->id) {
    refuse(ticket, kNotThePendingChange);
    return false;
  }
  if (in_flight_ == Step::apply) {
    refuse(ticket, kChangeBeingApplied);
    return false;
  }
  return true;
}

void ChangeKeeper::confirm(const ClientTicket& ticket, std::span<const uint8_t> tlvs) {
  if (!names_this_change(ticket, tlvs)) return;
  if (due_) return refuse(ticket, kChangeBeingReverted);
  std::string why;
  // Until the journal is gone a restart would undo the change, so it is not
  // confirmed before that.
  if (journal_ && !journal_->remove(why)) {
    VANT_LOG_ERROR("cannot confirm change %u: %s", record_->id, why.c_str());
    return refuse(ticket, kChangeNotDurable);
  }
  VANT_LOG_NOTICE("change %u (%s) confirmed", record_->id, record_->label.c_str());
  record_.reset();
  port_.answer_client(ticket, 0, success_tlvs());
}

void ChangeKeeper::revert_now(const ClientTicket& ticket, std::span<const uint8_t> tlvs,
                              TimePoint now) {
  if (!names_this_change(ticket, tlvs)) return;
  reverters_.push_back(ticket);
  if (!due_) make_due(now, "a client asked for it");
  // Without a restore on its way (the modem is away, or a retry waits), the
  // client learns at once that the daemon goes on trying.
  if (in_flight_ == Step::none) answer_reverters(kChangeNotRestored);
}

void ChangeKeeper::pending(const ClientTicket& ticket) {
  if (!record_) return refuse(ticket, kNoChangePending);
  ChangeState state = ChangeState::held;
  if (in_flight_ == Step::apply) {
    state = ChangeState::applying;
  } else if (in_flight_ != Step::none) {
    state = ChangeState::restoring;
  } else if (due_) {
    state = ChangeState::waiting_to_retry;
  }
  port_.answer_client(ticket, 0, pending_answer(*record_, state, attempts_));
}

void ChangeKeeper::refuse(const ClientTicket& ticket, uint32_t code) {
  port_.answer_client(ticket, code, failure_tlvs(code));
}

void ChangeKeeper::client_gone(size_t pair) {
  if (begin_ticket_ && begin_ticket_->pair == pair) begin_ticket_.reset();
  std::erase_if(reverters_, [pair](const ClientTicket& t) { return t.pair == pair; });
}

// ---- The modem's answers -----------------------------------------------------------

void ChangeKeeper::send(Step step, const StoredMessage& message, TimePoint now) {
  RequestOrigin origin;
  origin.pair = kChangeOrigin;
  origin.transaction = ++sequence_;
  origin.header.service = message.service;
  origin.header.instance = 0;
  origin.message_id = message.message_id;
  in_flight_ = step;
  port_.send_to_modem(origin, message.tlvs, now + kRequestTimeout);
}

void ChangeKeeper::on_answer(const RequestOrigin& origin, uint32_t result,
                             std::span<const uint8_t> tlvs, TimePoint now) {
  if (origin.pair != kChangeOrigin || origin.transaction != sequence_ || in_flight_ == Step::none ||
      !record_)
    return;
  const Step step = std::exchange(in_flight_, Step::none);
  switch (step) {
    case Step::apply:
      return on_apply_answer(result, tlvs, now);
    case Step::restore:
      if (!modem_said_yes(result, tlvs))
        return restore_failed("the restore was refused: " + refusal_text(result, tlvs), now,
                              modem_left(result));
      return send(Step::read_back, record_->read_back, now);
    case Step::read_back:
      if (!modem_said_yes(result, tlvs))
        return restore_failed("the read-back failed: " + refusal_text(result, tlvs), now,
                              modem_left(result));
      if (!read_back_matches(record_->expected, tlvs))
        return restore_failed("the modem does not show the previous state", now);
      VANT_LOG_NOTICE("change %u (%s) undone: the modem holds %s again", record_->id,
                      record_->label.c_str(), record_->previous.c_str());
      answer_reverters(0);
      return finish();
    case Step::none:
      return;
  }
}

void ChangeKeeper::on_apply_answer(uint32_t result, std::span<const uint8_t> tlvs, TimePoint now) {
  const bool applied = modem_said_yes(result, tlvs);
  if (begin_ticket_) {
    if (result == 0) {
      port_.answer_client(*begin_ticket_, 0, begin_answer(tlvs, record_->id, record_->deadline_ms));
    } else {
      port_.answer_client(*begin_ticket_, result, failure_tlvs(result));
    }
    begin_ticket_.reset();
  }
  if (applied) {
    VANT_LOG_NOTICE("change %u (%s) applied; undone in %u ms unless confirmed", record_->id,
                    record_->label.c_str(), record_->revert_after_ms);
    return;
  }
  // Whatever the modem made of it, it must end as it was.
  make_due(now, ("the modem did not take it: " + refusal_text(result, tlvs)).c_str());
}

// ---- Undoing --------------------------------------------------------------------------

void ChangeKeeper::make_due(TimePoint now, const char* why) {
  due_ = true;
  retry_at_ = now;
  give_up_at_ = now + kGiveUpAfter;
  attempts_ = 0;
  VANT_LOG_NOTICE("undoing change %u (%s): %s", record_->id, record_->label.c_str(), why);
  try_restore(now);
}

void ChangeKeeper::try_restore(TimePoint now) {
  if (!record_ || !due_ || in_flight_ != Step::none) return;
  if (!modem_present_ && now >= give_up_at_)
    return restore_failed("the modem did not come back", now);
  if (now < retry_at_ || !modem_present_) return;
  if (modem_key_ != record_->device_key)
    return restore_failed("the modem present is not the one that was changed", now);
  send(Step::restore, record_->restore, now);
}

void ChangeKeeper::restore_failed(const std::string& why, TimePoint now, bool modem_left) {
  ++attempts_;
  answer_reverters(kChangeNotRestored);
  if (now >= give_up_at_) {
    VANT_LOG_ERROR(
        "gave up undoing change %u (%s) after %u attempts: %s; the modem may still hold it, "
        "and held %s before",
        record_->id, record_->label.c_str(), attempts_, why.c_str(), record_->previous.c_str());
    return finish();
  }
  // A modem that refuses is given growing pauses; one that went away or
  // restarted is tried again as soon as it is back (see on_modem).
  const auto pause =
      modem_left ? kFirstRetry
                 : std::min<std::chrono::milliseconds>(
                       kFirstRetry * (1 << std::min<unsigned>(attempts_ - 1, 15)), kLongestRetry);
  retry_at_ = now + pause;
  VANT_LOG_WARNING("could not undo change %u yet (attempt %u): %s; trying again in %lld ms",
                   record_->id, attempts_, why.c_str(), static_cast<long long>(pause.count()));
}

void ChangeKeeper::finish() {
  std::string why;
  if (journal_ && !journal_->remove(why))
    VANT_LOG_ERROR("change %u is over, but its journal stays: %s", record_->id, why.c_str());
  record_.reset();
  due_ = false;
  in_flight_ = Step::none;
  attempts_ = 0;
}

void ChangeKeeper::answer_reverters(uint32_t result) {
  const auto tlvs = result == 0 ? success_tlvs() : failure_tlvs(result);
  for (const ClientTicket& t : std::exchange(reverters_, {})) port_.answer_client(t, result, tlvs);
}

// ---- Time and the modem ------------------------------------------------------------------

void ChangeKeeper::on_modem(bool present, const DeviceKey& key, TimePoint now) {
  if (present && !modem_present_) retry_at_ = std::min(retry_at_, now);
  modem_present_ = present;
  modem_key_ = key;
  if (present) try_restore(now);
}

void ChangeKeeper::on_timer(TimePoint now) {
  if (record_ && !due_ && in_flight_ != Step::apply && now >= deadline_)
    make_due(now, "it was not confirmed by its deadline");
  try_restore(now);
}

std::optional<TimePoint> ChangeKeeper::next_deadline() const {
  if (!record_ || in_flight_ != Step::none) return std::nullopt;
  if (!due_) return deadline_;
  return modem_present_ ? retry_at_ : give_up_at_;
}

}  // namespace vant::daemon
