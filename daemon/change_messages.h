// The daemon's change service (service 0xF8): a client hands the daemon a
// radio change with its way back, and the daemon undoes it unless it is
// confirmed in time.
//
// Messages (every answer carries the result TLV 0x02):
//   0x0001 begin    <- 0x01 apply, 0x02 restore, 0x03 read-back (each: service u8,
//                      message id u16, then the request's TLVs), 0x04 expected TLVs,
//                      0x05 revert after (u32 ms), 0x06 label text, 0x07 previous text
//                   -> the modem's answer to the apply, with 0x10 change id (u32) and
//                      0x11 deadline (u64 ms since the epoch)
//   0x0002 confirm  <- 0x01 change id (u32; absent or 0: whichever is pending)
//   0x0003 revert   <- 0x01 change id; answered once the previous state is read back
//   0x0004 pending  -> 0x10 id, 0x11 state (u8), 0x12 started (u64 ms), 0x13 deadline
//                      (u64 ms), 0x14 revert after (u32 ms), 0x15 restore attempts (u16),
//                      0x16 label, 0x17 previous
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "daemon/change_record.h"

namespace vant::daemon {

inline constexpr uint8_t kChangeServiceNumber = 0xF8;
inline constexpr uint16_t kBeginChange = 0x0001;
inline constexpr uint16_t kConfirmChange = 0x0002;
inline constexpr uint16_t kRevertChange = 0x0003;
inline constexpr uint16_t kPendingChange = 0x0004;

inline constexpr uint32_t kShortestRevertAfterMs = 1000;
inline constexpr uint32_t kLongestRevertAfterMs = 24 * 3600 * 1000;

// What the pending message reports of a change.
enum class ChangeState : uint8_t { applying = 1, held = 2, restoring = 3, waiting_to_retry = 4 };

struct BeginRequest {
  StoredMessage apply;
  StoredMessage restore;
  StoredMessage read_back;
  std::vector<uint8_t> expected;
  uint32_t revert_after_ms = 0;
  std::string label;
  std::string previous;
};

// The request, or the code to refuse it with (1017 for a missing part, 1001
// for one that is malformed or out of bounds).
struct ParsedBegin {
  std::optional<BeginRequest> request;
  uint32_t refusal = 0;
};
ParsedBegin parse_begin(std::span<const uint8_t> tlvs);

// The change id of a confirm or revert; 0 when it names none.
uint32_t requested_change_id(std::span<const uint8_t> tlvs);

std::vector<uint8_t> begin_answer(std::span<const uint8_t> modem_answer, uint32_t id,
                                  int64_t deadline_ms);
std::vector<uint8_t> pending_answer(const ChangeRecord& record, ChangeState state,
                                    uint16_t attempts);

}  // namespace vant::daemon
