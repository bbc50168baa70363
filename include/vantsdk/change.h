// Radio changes that undo themselves: the daemon sends the change, and unless
// it is confirmed before its deadline, the daemon itself sends the request
// that restores the previous state, reads the state back and retries until
// the modem shows it again. The hold outlives the caller, the daemon's own
// restart (the daemon journals the change before it sends it) and a reboot.
// One change per modem is pending at a time.
//
// Every record belongs to the caller; texts are zero-terminated.
#pragma once

#include <cstdint>

#include "vantsdk/nas.h"

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

// One QMI request as the modem gets it: its TLVs without the message header.
struct QmiMessage {
  uint8_t service;
  uint16_t messageId;
  const uint8_t* tlvs;
  uint16_t tlvLength;
};

struct ConfirmedChange {
  QmiMessage apply;     // the change
  QmiMessage restore;   // puts the previous state back
  QmiMessage readBack;  // reads the state (same service as restore)
  // TLVs whose values must each begin the read-back answer's TLV of the same
  // type once the previous state is back (null: any successful answer).
  const uint8_t* expected;
  uint16_t expectedLength;
  uint32_t revertAfterMs;  // 1000 to 86400000
  const char* label;       // what the change is, for people (may be null)
  const char* previous;    // the state it undoes, for people (may be null)
};

// The state of a pending change.
inline constexpr uint8_t kChangeApplying = 1;        // sent, the modem has not answered yet
inline constexpr uint8_t kChangeHeld = 2;            // waiting for a confirmation
inline constexpr uint8_t kChangeRestoring = 3;       // the restore is on its way
inline constexpr uint8_t kChangeWaitingToRetry = 4;  // a restore failed; it is tried again

inline constexpr uint32_t kChangeTextSize = 1025;

struct PendingChangeInfo {
  uint32_t id;
  uint8_t state;
  uint64_t startedMs;   // wall clock, ms since the epoch
  uint64_t deadlineMs;  // wall clock
  uint32_t revertAfterMs;
  uint16_t attempts;  // restores tried
  char label[kChangeTextSize];
  char previous[kChangeTextSize];
};

// Sends the change through the daemon. 0 when the modem took it (*changeId
// and *deadlineMs then name it); the modem's refusal (1000 + QMI error) or the
// daemon's code otherwise, in which case the daemon restores the previous
// state at once. 0xE201 when another change is pending, 0xE204 when the daemon
// could not journal it (nothing was sent).
uint32_t VANTChangeBegin(const ConfirmedChange* change, uint32_t* changeId, uint64_t* deadlineMs);
// Keeps the pending change (changeId 0: whichever is pending). 0xE202 none is
// pending, 0xE203 it is being reverted already, 0xE206 another one is pending.
uint32_t VANTChangeConfirm(uint32_t changeId);
// Undoes the pending change now; returns once the modem shows the previous
// state (0) or a first restore failed (0xE205; the daemon keeps trying).
uint32_t VANTChangeRevert(uint32_t changeId);
// 0xE202 when no change is pending.
uint32_t VANTChangeGetPending(PendingChangeInfo* info);

// The channel lock as a confirmed change: sends `change` (the members that are
// non-null), and restores all three kinds as `previous` has them (each must be
// reported: status 0 or 1). 4 for a null or incomplete argument.
uint32_t VANTNASKelSetChannelLockConfirmed(const ChannelLock* change, const ChannelLock* previous,
                                           uint32_t revertAfterMs, const char* label,
                                           const char* previousText, uint32_t* changeId,
                                           uint64_t* deadlineMs);

#pragma GCC visibility pop
