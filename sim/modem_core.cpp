#include "sim/modem_core.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

#include "qmux/ctl.h"
#include "qmux/response.h"
#include "sim/faults.h"
#include "sim/services.h"

namespace vant::sim {

ModemCore::ModemCore(Scenario scenario)
    : scenario_(std::move(scenario)),
      timeline_(scenario_.behaviour.outages, scenario_.behaviour.repeat_every_ms),
      start_(Clock::now()),
      state_(scenario_),
      seen_outages_(timeline_.outages_begun(0)),
      synced_outages_(seen_outages_) {
  if (pipe2(stop_pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "emulator stop pipe");
}

ModemCore::~ModemCore() {
  close(stop_pipe_[0]);
  close(stop_pipe_[1]);
}

uint64_t ModemCore::ms_since_start(Clock::time_point now) const {
  if (now <= start_) return 0;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count());
}

// An outage that began since we last looked was a restart: the modem forgot
// every client id it had handed out, and preferences set until power cycle.
void ModemCore::catch_up(Clock::time_point now) {
  const uint64_t begun = timeline_.outages_begun(ms_since_start(now));
  if (begun == seen_outages_) return;
  restarts_ += static_cast<uint32_t>(begun - seen_outages_);
  seen_outages_ = begun;
  state_.restart();
}

Writes ModemCore::begin_stream(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  catch_up(now);
  if (synced_outages_ == seen_outages_) return {};
  synced_outages_ = seen_outages_;
  return {qmux::encode_frame(qmux::ctl::sync_indication())};
}

// The rule of the message itself if it still applies, else the rule for
// every message if that applies.
const MessageRule* ModemCore::rule_for(std::string_view name) {
  for (std::string_view key : {name, kEveryMessage}) {
    const auto it = scenario_.behaviour.rules.find(std::string(key));
    if (it == scenario_.behaviour.rules.end()) continue;
    uint32_t& uses = rule_uses_[it->first];
    if (it->second.count && uses >= *it->second.count) continue;
    ++uses;
    return &it->second;
  }
  return nullptr;
}

Reply ModemCore::answer(const qmux::Frame& request, const MessageEntry* entry) {
  const bool needs_client = request.service != kServiceCtl;
  if (needs_client && !state_.client_ids.allocated(request.service, request.client_id))
    return {qmux::result_only_response(request, kErrInvalidClientId)};
  if (!entry) return unknown_message(request);
  return entry->handler(request, state_);
}

std::optional<Scheduled> ModemCore::handle(const qmux::Frame& request, Clock::time_point now) {
  if (request.sender != qmux::Sender::host || request.kind != qmux::MessageKind::request)
    return std::nullopt;
  std::lock_guard lock(mutex_);
  catch_up(now);
  state_.now_ms = ms_since_start(now);
  const MessageEntry* entry = find_message(request.service, request.message_id);
  const MessageRule* rule = rule_for(entry ? entry->name : std::string_view("unknown"));
  // A dropped request is not performed either: a dropped Sync must leave the
  // host's client ids allocated, as a modem that never saw it would.
  if (rule && rule->drop) return std::nullopt;
  Reply reply = answer(request, entry);
  if (rule && rule->qmi_error) inject_error(reply.answer, rule->qmi_error, rule->keep_tlvs);
  if (rule && rule->only_result) keep_only_result(reply.answer);
  const uint32_t latency =
      (rule && rule->latency_ms ? *rule->latency_ms : scenario_.behaviour.latency_ms) +
      reply.work_ms;
  const Malformation how = rule ? rule->malformed : Malformation::none;
  return Scheduled{now + std::chrono::milliseconds(latency), answer_writes(reply.answer, how)};
}

bool ModemCore::present(Clock::time_point now) const {
  return timeline_.present(ms_since_start(now));
}

std::optional<Clock::time_point> ModemCore::next_presence_change(Clock::time_point now) const {
  const auto next = timeline_.next_change(ms_since_start(now));
  if (!next) return std::nullopt;
  return start_ + std::chrono::milliseconds(*next);
}

bool ModemCore::wait_present(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock lock(mutex_);
  while (!stopped()) {
    const auto now = Clock::now();
    if (present(now)) return true;
    if (now >= deadline) return false;
    const auto change = next_presence_change(now).value_or(deadline);
    // The extra millisecond lands us past the boundary, not on it.
    stop_signal_.wait_until(lock, std::min(deadline, change + std::chrono::milliseconds(1)));
  }
  return false;
}

void ModemCore::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_.exchange(true)) return;
  }
  stop_signal_.notify_all();
  const char byte = 1;
  // The pipe stays readable for ever after: every serve loop sees it.
  [[maybe_unused]] const auto written = write(stop_pipe_[1], &byte, 1);
}

ModelSnapshot ModemCore::snapshot() {
  std::lock_guard lock(mutex_);
  catch_up(Clock::now());
  ModelSnapshot s;
  s.locks = state_.locks;
  s.registered = state_.registered;
  s.selection_preference = state_.preference.tlvs;
  s.allocated_client_ids = state_.client_ids.counts();
  s.restarts = restarts_;
  return s;
}

}  // namespace vant::sim
