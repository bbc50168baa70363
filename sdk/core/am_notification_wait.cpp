// Waiting for one indication on the notification channel.
#include <cstdio>
#include <cstring>

#include "sdk/core/am_packets.h"
#include "sdk/core/channels.h"
#include "sdk/core/os_services.h"

namespace {

[[noreturn]] void abort_with(int line, const char* what, int data) {
  char message[96];
  std::snprintf(message, sizeof message, "%s:%d %s", "amapiwaitnotif", line, what);
  erAbort(message, data);
}

}  // namespace

int amapiwaitnotif(uint8_t* buffer, size_t* length, QmiTransactionHeader* record,
                   const uint8_t** payload, uint32_t timeout_ms) {
  *payload = nullptr;
  const size_t capacity = *length;
  std::memset(buffer, 0, capacity);
  if (!os_ipc_receive(&ci_notification_channel(), buffer, length, timeout_ms)) return 0;
  // Too short to be a packet at all (a time-out gives 0): nothing to parse.
  if (*length < kAmHeaderSize) return 1;

  const uint8_t* cursor = buffer;
  uint16_t type, check_word, am_length;
  uint32_t result;
  am_parse_header(&cursor, &type, &check_word, &result, &am_length);
  if (check_word != 0) abort_with(__LINE__, "API/SDK IPC hdr mismatch", check_word);
  if (type != kAmQmiNotification) abort_with(__LINE__, "API/SDK IPC unknown packet", type);
  // An indication whose lengths disagree with what arrived is dropped, so
  // that no handler walks past the received bytes.
  if (!am_qmi_lengths_agree(buffer, *length) || *length == kQmiPayloadOffset) return 1;

  record->result = 0;
  uint8_t transaction;
  amparseqmixactionheader(&cursor, record, &transaction);
  *payload = buffer + kQmiPayloadOffset;
  return 1;
}
