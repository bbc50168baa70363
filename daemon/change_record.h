// A radio change that the daemon undoes unless it is confirmed in time: the
// QMI request that puts the previous state back, the request that reads the
// state back and what it must then show, the deadline, and the texts that
// tell people what the change was. The journal keeps it as text lines, one
// field each, so that an admin can read it with cat.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vant::daemon {

// One QMI request as the modem gets it.
struct StoredMessage {
  uint8_t service = 0;
  uint16_t message_id = 0;
  std::vector<uint8_t> tlvs;
  bool operator==(const StoredMessage&) const = default;
};

struct ChangeRecord {
  uint32_t id = 0;
  int64_t started_ms = 0;   // wall clock, ms since the epoch
  int64_t deadline_ms = 0;  // wall clock; the restore is due then
  uint32_t revert_after_ms = 0;
  std::string boot_id;  // the kernel's boot id when the change was made
  std::array<uint8_t, 14> device_key{};
  std::string label;     // what the change is, for people
  std::string previous;  // the state it undoes, for people
  StoredMessage restore;
  StoredMessage read_back;
  // TLVs whose values must each begin the read-back answer's TLV of the same type.
  std::vector<uint8_t> expected;
  bool operator==(const ChangeRecord&) const = default;
};

// Bounds of what a change may carry (they keep a journal small and a record
// within one client datagram).
inline constexpr size_t kChangeTextLimit = 1024;
inline constexpr size_t kChangeMessageLimit = 1024;
inline constexpr size_t kJournalLimit = 16384;

// A text fits a journal line: printable bytes (or UTF-8) without controls.
bool journal_text_ok(std::string_view text);

std::string encode_change(const ChangeRecord& record);
// Empty when the text is not a whole, well-formed journal.
std::optional<ChangeRecord> decode_change(std::string_view text);

// Whether a read-back answer's TLVs show what `expected` says.
bool read_back_matches(std::span<const uint8_t> expected, std::span<const uint8_t> answer);

}  // namespace vant::daemon
