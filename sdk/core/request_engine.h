// The request engine: the API lock with the process-wide request and
// response buffers, the exchange of one request with the SDK daemon, and the
// common calling sequence of every request function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/core/am_packets.h"
#include "sdk/core/notifications.h"
#include "vantsdk/qmi_codec.h"

inline constexpr uint32_t kRequestQmi = 0;
inline constexpr uint32_t kRequestSdk = 1;
inline constexpr uint8_t kMaxClientInstances = 8;

struct RequestDescriptor {
  uint32_t kind;      // kRequestQmi or kRequestSdk
  uint32_t waitTime;  // ms, 0 = no limit; the engine extends it before waiting
  uint32_t reserved;
  QmiTransactionHeader transaction;
};

// Locks the API lock; on success *buffer is the 2048-byte request buffer.
// 0, 34 (lock time-out) or 2.
uint32_t api_lock_take(uint8_t** buffer);
void api_lock_release();

// Sends the QMI message packed at the QMI payload position of buffer and
// waits for its response; *response then points at the response's QMI
// message, valid until the API lock is released.
uint32_t send_qmi_request(uint8_t* buffer, uint8_t service, uint16_t tlv_length,
                          uint32_t timeout_ms, const uint8_t** response);
// The same on a client instance of the service (0..7; 8 or more gives 9).
uint32_t send_qmi_request_on(uint8_t* buffer, uint8_t service, uint16_t tlv_length,
                             uint32_t timeout_ms, const uint8_t** response, uint8_t instance);
// Sends an SDK request; type 4 (terminate) returns 0 without waiting.
uint32_t send_sdk_request(uint8_t* buffer, uint8_t request_type, uint16_t length,
                          uint32_t timeout_ms, const uint8_t** response);

// The engine: sends the request in buffer and waits, with the wait time
// stretched, for the response with its transaction number. Returns the
// response's result field, or 6, 17, 0xE004 or 0xE005 (the daemon's name is
// held by a user that is neither root nor ours).
uint32_t am_send_and_wait(uint8_t* buffer, RequestDescriptor* descriptor, const uint8_t** response);
// How long the engine waits for each datagram of a request that the caller
// gave wait_ms (0 = no limit): the daemon's own time-out plus its overhead.
uint32_t am_stretch_wait(uint32_t wait_ms);
// The engine with the per-datagram limit given directly (0 = no limit).
uint32_t am_exchange(uint8_t* buffer, RequestDescriptor* descriptor, const uint8_t** response,
                     uint32_t limit_ms);

// What one datagram that arrived during a wait means for the request waiting
// for transaction t: its answer (payload: its QMI message or SDK payload),
// the answer to an earlier request given up (stale), or something to refuse.
// last: the transaction number of the last transaction header parsed in this
// wait; a packet without one is the answer only when that number is t.
enum class ResponseVerdict { kAnswer, kStale, kInvalid };
struct ClassifiedResponse {
  ResponseVerdict verdict;
  uint32_t result;
  const uint8_t* payload;
};
ClassifiedResponse am_classify_response(const uint8_t* packet, size_t size, bool qmi, uint8_t t,
                                        uint8_t* last);

// The transaction number the next packet will carry.
uint8_t am_next_transaction();

// Takes a response's TLVs apart (unpack_response's signature); used where a
// message's result rules differ from unpack_response's.
using ResponseWalker = uint32_t (*)(const uint8_t* message, ResponseContext* context,
                                    TlvTable table, uint16_t message_id);

// One whole exchange in the calling order every request function follows:
// take the lock, pack at the QMI payload position, send and wait, preset the
// output (only once a response arrived), unpack, release the lock.
struct QmiExchange {
  uint8_t service;
  uint16_t messageId;
  uint32_t timeoutMs;
  TlvTable request;
  const void* input;
  TlvTable response;
  void* output;
  void (*preset)(void* output) = nullptr;
  uint8_t instance = 0;
  ResponseWalker walker = nullptr;  // nullptr: unpack_response
};
uint32_t run_qmi_exchange(const QmiExchange& exchange);
