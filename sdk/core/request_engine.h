// The request engine: the API lock with the process-wide request and
// response buffers, the exchange of one request with the SDK daemon, and the
// notification machinery.
#pragma once

#include <cstdint>

#include "sdk/core/am_packets.h"
#include "vantsdk/qmi_codec.h"

struct RequestDescriptor {
  uint32_t kind;      // 0 = QMI request, 1 = SDK request
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
uint32_t send_qmi_request_on(uint8_t* buffer, uint8_t service, uint16_t tlv_length,
                             uint32_t timeout_ms, const uint8_t** response, uint8_t instance);
uint32_t send_sdk_request(uint8_t* buffer, uint8_t request_type, uint16_t length,
                          uint32_t timeout_ms, const uint8_t** response);
uint32_t am_send_and_wait(uint8_t* buffer, RequestDescriptor* descriptor,
                          const uint8_t** response);

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
};
uint32_t run_qmi_exchange(const QmiExchange& exchange);
