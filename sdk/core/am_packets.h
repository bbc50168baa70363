// AM packets: the framing of every datagram between the client library and
// the SDK daemon. A 10-byte AM header, then either a 9-byte QMI transaction
// header and a QMI message, or an SDK request/response header.
// All multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint16_t kAmQmiRequest = 0xC0;
inline constexpr uint16_t kAmQmiResponse = 0xC1;
inline constexpr uint16_t kAmQmiNotification = 0xC2;
inline constexpr uint16_t kAmSdkRequest = 0x100;
inline constexpr uint16_t kAmSdkResponse = 0x101;

inline constexpr size_t kAmHeaderSize = 10;
inline constexpr size_t kQmiTransactionHeaderSize = 9;
inline constexpr size_t kQmiPayloadOffset = 19;  // AM header + QMI transaction header
inline constexpr size_t kSdkRequestSize = 11;
inline constexpr size_t kSdkResponseHeaderSize = 7;
inline constexpr size_t kSdkPayloadOffset = 17;
inline constexpr size_t kAmBufferSize = 2048;  // request, response and notification buffers

inline constexpr uint8_t kSdkRequestTerminate = 4;
inline constexpr uint8_t kDeviceService = 0xF7;  // the daemon's own device service
inline constexpr uint8_t kChangeService = 0xF8;  // the daemon's confirmed changes

// The library version string.
inline constexpr const char* kLibraryVersion = "VANT04.00.24";
const char* am_library_version();

struct AmHeader {
  uint16_t packetType;
  uint16_t checkWord;  // 0 in every packet
  uint32_t result;     // response: result code of the request; request: 0
  uint16_t length;     // QMI packets: bytes after the AM header; SDK request: 11
};

// The in-memory transaction record that the QMI builders and parsers read and
// write (the wire's transaction number is passed beside it).
struct QmiTransactionHeader {
  uint32_t result;
  uint32_t qmiLength;  // 4 bytes of message header plus the TLVs
  uint32_t timeout;    // ms as the caller gave it; for an SDK request its low byte is the type
  uint8_t service;
  uint8_t instance;
};

struct SdkResponseHeader {
  uint8_t requestType;
  uint32_t value32;
  uint16_t value16;
};

// Builders and parsers advance *cursor past what they wrote or read.
void am_build_header(uint8_t** cursor, uint16_t packet_type, uint16_t check_word, uint32_t result,
                     uint16_t length);
void am_parse_header(const uint8_t** cursor, uint16_t* packet_type, uint16_t* check_word,
                     uint32_t* result, uint16_t* length);
// Writes the AM header (result 0, length = qmiLength + 9) and the QMI
// transaction header; returns 19.
size_t ambuildqmixactionheader(uint8_t** cursor, const QmiTransactionHeader* record,
                               uint16_t packet_type, uint8_t transaction);
// The same with a result in the AM header: what the daemon writes in front
// of a response (0xC1) or an indication (0xC2). Returns 19.
size_t ambuildqmiresultheader(uint8_t** cursor, const QmiTransactionHeader* record,
                              uint16_t packet_type, uint8_t transaction, uint32_t result);
void amparseqmixactionheader(const uint8_t** cursor, QmiTransactionHeader* record,
                             uint8_t* transaction);
// Writes the 11-byte SDK request (type 0, 2 or 4; anything else is fatal).
size_t ambuildsdkrequest(uint8_t** cursor, uint8_t request_type, uint16_t packet_type);
// Reads the request type byte behind the AM header of an SDK request.
void amparsesdkrequest(const uint8_t** cursor, uint8_t* request_type);
void amparsesdkheader(const uint8_t** cursor, SdkResponseHeader* record);

// Where the payload of a packet of this type starts in buffer, or nullptr.
uint8_t* am_payload_offset(uint16_t packet_type, uint8_t* buffer);

// True when the length fields of a QMI packet (0xC0, 0xC1 or 0xC2) agree
// with the size of the datagram that carried it: AM length = size - 10, QMI
// message length = size - 19, and the message's TLV length = size - 23 (a
// packet without a QMI message, size 19, is also accepted). Only then may
// anyone walk its TLVs.
bool am_qmi_lengths_agree(const uint8_t* packet, size_t size);

// Waits for one indication on the notification channel (timeout_ms 0 = no
// limit) and parses its headers. *length is the capacity on entry and the
// datagram's size on return. *payload points at the QMI message, or is null
// when nothing usable came (time-out, or a malformed datagram, which is
// dropped). 1 unless the receive failed. A check word other than 0 or a type
// other than 0xC2 is fatal.
int amapiwaitnotif(uint8_t* buffer, size_t* length, QmiTransactionHeader* record,
                   const uint8_t** payload, uint32_t timeout_ms);

// The protocol's fatal error routine: logs one line, cut to 80 characters,
// and exits with status 1.
[[noreturn]] void erAbort(const char* message, int data);
inline constexpr size_t kAbortLineLimit = 80;
// The line erAbort logs, written to line (kAbortLineLimit + 1 bytes).
void am_format_abort_line(char* line, const char* message, int data);
