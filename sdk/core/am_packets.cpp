// Builders and parsers of the AM packet headers, with their size self-checks.
#include "sdk/core/am_packets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdk/core/os_services.h"

namespace {

void put8(uint8_t** cursor, uint8_t value) {
  *(*cursor)++ = value;
}
void put16(uint8_t** cursor, uint16_t value) {
  put8(cursor, static_cast<uint8_t>(value));
  put8(cursor, static_cast<uint8_t>(value >> 8));
}
void put32(uint8_t** cursor, uint32_t value) {
  put16(cursor, static_cast<uint16_t>(value));
  put16(cursor, static_cast<uint16_t>(value >> 16));
}
uint8_t get8(const uint8_t** cursor) {
  return *(*cursor)++;
}
uint16_t get16(const uint8_t** cursor) {
  const uint16_t low = get8(cursor);
  return static_cast<uint16_t>(low | get8(cursor) << 8);
}
uint32_t get32(const uint8_t** cursor) {
  const uint32_t low = get16(cursor);
  return low | static_cast<uint32_t>(get16(cursor)) << 16;
}
uint16_t read16_at(const uint8_t* packet, size_t offset) {
  const uint8_t* cursor = packet + offset;
  return get16(&cursor);
}

[[noreturn]] void abort_with(const char* function, int line, const char* what, int data) {
  char message[128];
  std::snprintf(message, sizeof message, "%s:%d %s", function, line, what);
  erAbort(message, data);
}

// A header routine that moved its cursor by anything but its header's size
// has been broken by an edit: stop before a malformed packet goes out.
void check_moved(ptrdiff_t moved, size_t expected, const char* function, int line,
                 const char* what) {
  if (moved != static_cast<ptrdiff_t>(expected))
    abort_with(function, line, what, static_cast<int>(moved * 65536 + expected));
}

constexpr size_t kQmiMessageHeaderSize = 4;

}  // namespace

const char* am_library_version() {
  return kLibraryVersion;
}

void am_build_header(uint8_t** cursor, uint16_t packet_type, uint16_t check_word, uint32_t result,
                     uint16_t length) {
  put16(cursor, packet_type);
  put16(cursor, check_word);
  put32(cursor, result);
  put16(cursor, length);
}

void am_parse_header(const uint8_t** cursor, uint16_t* packet_type, uint16_t* check_word,
                     uint32_t* result, uint16_t* length) {
  *packet_type = get16(cursor);
  *check_word = get16(cursor);
  *result = get32(cursor);
  *length = get16(cursor);
}

size_t ambuildqmiresultheader(uint8_t** cursor, const QmiTransactionHeader* record,
                              uint16_t packet_type, uint8_t transaction, uint32_t result) {
  const uint8_t* start = *cursor;
  am_build_header(cursor, packet_type, 0, result,
                  static_cast<uint16_t>(record->qmiLength + kQmiTransactionHeaderSize));
  put8(cursor, transaction);
  put8(cursor, record->service);
  put32(cursor, record->timeout);
  put16(cursor, static_cast<uint16_t>(record->qmiLength));
  put8(cursor, record->instance);
  check_moved(*cursor - start, kQmiPayloadOffset, "ambuildqmixactionheader", __LINE__,
              "Update AMQMIREQTOTAL");
  return kQmiPayloadOffset;
}

size_t ambuildqmixactionheader(uint8_t** cursor, const QmiTransactionHeader* record,
                               uint16_t packet_type, uint8_t transaction) {
  return ambuildqmiresultheader(cursor, record, packet_type, transaction, 0);
}

void amparseqmixactionheader(const uint8_t** cursor, QmiTransactionHeader* record,
                             uint8_t* transaction) {
  const uint8_t* start = *cursor;
  *transaction = get8(cursor);
  record->service = get8(cursor);
  record->timeout = get32(cursor);
  record->qmiLength = get16(cursor);
  record->instance = get8(cursor);
  check_moved(*cursor - start, kQmiTransactionHeaderSize, "amparseqmixactionheader", __LINE__,
              "Update AMQMIRRNSZ");
}

size_t ambuildsdkrequest(uint8_t** cursor, uint8_t request_type, uint16_t packet_type) {
  if (request_type != 0 && request_type != 2 && request_type != kSdkRequestTerminate)
    abort_with("ambuildsdkrequest", __LINE__, "invalid SDK request type", request_type);
  const uint8_t* start = *cursor;
  am_build_header(cursor, packet_type, 0, 0, kSdkRequestSize);
  put8(cursor, request_type);
  check_moved(*cursor - start, kSdkRequestSize, "ambuildsdkrequest", __LINE__,
              "Update AMSDK***REQTOTAL");
  return kSdkRequestSize;
}

void amparsesdkrequest(const uint8_t** cursor, uint8_t* request_type) {
  uint16_t type, check_word, length;
  uint32_t result;
  am_parse_header(cursor, &type, &check_word, &result, &length);
  *request_type = get8(cursor);
}

void amparsesdkheader(const uint8_t** cursor, SdkResponseHeader* record) {
  const uint8_t* start = *cursor;
  record->requestType = get8(cursor);
  record->value32 = get32(cursor);
  record->value16 = get16(cursor);
  check_moved(*cursor - start, kSdkResponseHeaderSize, "amparsesdkheader", __LINE__,
              "Update AMSDKRRNSZ");
}

uint8_t* am_payload_offset(uint16_t packet_type, uint8_t* buffer) {
  switch (packet_type) {
    case kAmQmiRequest:
    case kAmQmiResponse:
      return buffer + kQmiPayloadOffset;
    case kAmSdkRequest:
    case kAmSdkResponse:
      return buffer + kSdkPayloadOffset;
    default:
      return nullptr;
  }
}

bool am_qmi_lengths_agree(const uint8_t* packet, size_t size) {
  if (size < kQmiPayloadOffset) return false;
  const size_t am_length = read16_at(packet, 8);
  const size_t qmi_length = read16_at(packet, 16);
  if (am_length != size - kAmHeaderSize || qmi_length != size - kQmiPayloadOffset) return false;
  if (qmi_length == 0) return true;
  if (qmi_length < kQmiMessageHeaderSize) return false;
  return read16_at(packet, kQmiPayloadOffset + 2) == qmi_length - kQmiMessageHeaderSize;
}

void am_format_abort_line(char* line, const char* message, int data) {
  char text[100];
  std::snprintf(text, sizeof text, "erAbort: API Fatal error -> %s, Data: %d\n", message, data);
  const size_t kept = strnlen(text, kAbortLineLimit);
  std::memcpy(line, text, kept);
  line[kept] = '\0';
}

void erAbort(const char* message, int data) {
  char line[kAbortLineLimit + 1];
  am_format_abort_line(line, message, data);
  os_log(line);
  std::exit(1);
}
