#include "vant/pending_change.h"

#include <ctime>

#include "vant/exit_status.h"
#include "vant/json_parser.h"
#include "vant/output.h"
#include "vantsdk/result_codes.h"

namespace vant::cli {
namespace {

const char* state_name(uint8_t state) {
  switch (state) {
    case kChangeApplying:
      return "applying";
    case kChangeHeld:
      return "held";
    case kChangeRestoring:
      return "restoring";
    case kChangeWaitingToRetry:
      return "waiting_to_retry";
    default:
      return "unknown";
  }
}

int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The previous state is kept as a JSON text; an older or foreign text stays a string.
Json previous_json(const char* text) {
  std::optional<Json> parsed = parse_json(text);
  return parsed ? std::move(*parsed) : Json(text);
}

}  // namespace

HeldChange begin_lock_change(const LockRequest& request, const LockState& previous,
                             std::chrono::milliseconds revert_after, const std::string& label) {
  LockState values = request.values;
  LockState before = previous;
  const ChannelLock change{request.send_wcdma ? &values.wcdma : nullptr,
                           request.send_lte_earfcn ? &values.lte_earfcn : nullptr,
                           request.send_lte_pci ? &values.lte_pci : nullptr};
  const ChannelLock restore{&before.wcdma, &before.lte_earfcn, &before.lte_pci};
  const std::string previous_text = json_text(lock_json(previous));
  HeldChange held;
  uint64_t deadline = 0;
  check_result(VANTNASKelSetChannelLockConfirmed(
                   &change, &restore, static_cast<uint32_t>(revert_after.count()), label.c_str(),
                   previous_text.c_str(), &held.id, &deadline),
               "setting the channel lock");
  held.deadline_ms = static_cast<int64_t>(deadline);
  return held;
}

std::optional<PendingChangeInfo> read_pending_change() {
  PendingChangeInfo info{};
  const uint32_t result = VANTChangeGetPending(&info);
  if (result == kNoChangePending) return std::nullopt;
  check_result(result, "reading the pending change");
  return info;
}

void confirm_change(uint32_t id) {
  check_result(VANTChangeConfirm(id), "confirming the change");
}

bool revert_change(uint32_t id) {
  const uint32_t result = VANTChangeRevert(id);
  if (result == kChangeNotRestored) return false;
  check_result(result, "reverting the change");
  return true;
}

std::string utc_time(int64_t unix_seconds) {
  const auto t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

Json pending_json(const PendingChangeInfo& info) {
  const auto started = static_cast<int64_t>(info.startedMs);
  const auto deadline = static_cast<int64_t>(info.deadlineMs);
  const int64_t left = std::max<int64_t>(0, deadline - now_ms());
  return {{"id", info.id},
          {"label", info.label},
          {"state", state_name(info.state)},
          {"started", utc_time(started / 1000)},
          {"deadline", utc_time(deadline / 1000)},
          {"seconds_left", static_cast<double>(left / 100) / 10.0},
          {"revert_after_s", info.revertAfterMs / 1000.0},
          {"restore_attempts", info.attempts},
          {"previous", previous_json(info.previous)}};
}

}  // namespace vant::cli
