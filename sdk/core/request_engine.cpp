// The API lock, the process-wide buffers and the exchange of one request
// with the SDK daemon.
#include "sdk/core/request_engine.h"

#include <pthread.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sdk/core/channels.h"
#include "sdk/core/daemon_control.h"
#include "sdk/core/os_services.h"
#include "vantsdk/result_codes.h"

namespace {

pthread_mutex_t g_api_lock = PTHREAD_MUTEX_INITIALIZER;
// Both buffers belong to whoever holds the API lock.
alignas(8) uint8_t g_request_buffer[kAmBufferSize];
alignas(8) uint8_t g_response_buffer[kAmBufferSize];
// Incremented for every packet sent, under the API lock; wraps from 255 to 0.
uint8_t g_transaction = 0;

constexpr uint32_t kDaemonOverheadMs = 1000;
constexpr uint32_t kDoublingLimitMs = 10000;
constexpr size_t kMaxQmiMessage = kAmBufferSize - kQmiPayloadOffset;
// During a long wait, how often we look whether the daemon still runs.
constexpr uint32_t kDaemonCheckMs = 1000;

// Writes the headers in front of the packed request; returns the datagram's size.
size_t build_request(uint8_t* buffer, const RequestDescriptor& d, uint8_t transaction) {
  uint8_t* cursor = buffer;
  if (d.kind == kRequestQmi)
    return ambuildqmixactionheader(&cursor, &d.transaction, kAmQmiRequest, transaction) +
           d.transaction.qmiLength;
  return ambuildsdkrequest(&cursor, static_cast<uint8_t>(d.transaction.timeout), kAmSdkRequest);
}

uint64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// Waits up to limit_ms (0 = no limit) for one datagram, looking about once a
// second whether the daemon still holds its presence socket: a daemon that
// died will never answer, and its client learns that at once instead of
// after the whole limit. *received is 0 when the wait ended without a datagram.
int receive_while_daemon_lives(uint8_t* buffer, size_t* received, uint32_t limit_ms) {
  const size_t capacity = *received;
  const uint64_t deadline = monotonic_ms() + limit_ms;
  for (;;) {
    uint32_t slice = kDaemonCheckMs;
    if (limit_ms != 0) {
      const uint64_t now = monotonic_ms();
      if (now >= deadline) break;
      slice = static_cast<uint32_t>(std::min<uint64_t>(deadline - now, kDaemonCheckMs));
    }
    *received = capacity;
    if (!os_ipc_receive(&ci_request_channel(), buffer, received, slice)) return 0;
    if (*received != 0) return 1;
    if (!os_sdk_present(ci_modem())) break;
  }
  *received = 0;
  return 1;
}

}  // namespace

ClassifiedResponse am_classify_response(const uint8_t* packet, size_t size, bool qmi, uint8_t t,
                                        uint8_t* last) {
  if (size < kAmHeaderSize) return {ResponseVerdict::kInvalid, 0, nullptr};
  const uint8_t* cursor = packet;
  uint16_t type, check_word, length;
  uint32_t result;
  am_parse_header(&cursor, &type, &check_word, &result, &length);
  if (length == 0) {
    if (*last != t) return {ResponseVerdict::kStale, 0, nullptr};
    // The codec will read a message header after the AM header: it must be
    // the zeroes of the cleared buffer, not bytes the daemon sent.
    if (size != kAmHeaderSize) return {ResponseVerdict::kInvalid, 0, nullptr};
    return {ResponseVerdict::kAnswer, result, packet + kAmHeaderSize};
  }
  if (type == kAmQmiResponse && qmi && size >= kQmiPayloadOffset) {
    QmiTransactionHeader record{};
    amparseqmixactionheader(&cursor, &record, last);
    if (*last != t) return {ResponseVerdict::kStale, 0, nullptr};
    // The codec trusts the message's length field: it must not reach past
    // what was received.
    if (!am_qmi_lengths_agree(packet, size)) return {ResponseVerdict::kInvalid, 0, nullptr};
    return {ResponseVerdict::kAnswer, result, packet + kQmiPayloadOffset};
  }
  if (type == kAmSdkResponse && !qmi && size >= kSdkPayloadOffset) {
    SdkResponseHeader header{};
    amparsesdkheader(&cursor, &header);
    if (t != 0) return {ResponseVerdict::kStale, 0, nullptr};
    return {ResponseVerdict::kAnswer, result, packet + kSdkPayloadOffset};
  }
  return {ResponseVerdict::kInvalid, 0, nullptr};
}

uint32_t api_lock_take(uint8_t** buffer) {
  *buffer = nullptr;
  const int failure = pthread_mutex_lock(&g_api_lock);
  if (failure != 0) return failure == ETIMEDOUT ? vant::kApiLockTimeout : vant::kInternalError;
  *buffer = g_request_buffer;
  return vant::kSuccess;
}

void api_lock_release() {
  pthread_mutex_unlock(&g_api_lock);
}

uint8_t am_next_transaction() {
  return g_transaction;
}

uint32_t am_stretch_wait(uint32_t wait_ms) {
  if (wait_ms == 0) return 0;
  const uint64_t w = static_cast<uint64_t>(wait_ms) + kDaemonOverheadMs;
  const uint64_t stretched = w <= kDoublingLimitMs ? 2 * w : w + w / 4;
  return stretched > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(stretched);
}

uint32_t am_exchange(uint8_t* buffer, RequestDescriptor* descriptor, const uint8_t** response,
                     uint32_t limit_ms) {
  const bool qmi = descriptor->kind == kRequestQmi;
  // Before any channel to a daemon exists nothing could answer: say so at
  // once rather than after the whole wait.
  if (ci_request_channel().socket < 0) return vant::kNoDevice;
  if (qmi && descriptor->transaction.service != kDeviceService && ci_client_state() == 0)
    return vant::kNoDevice;
  // A length that would send bytes past the request buffer is refused.
  if (qmi && descriptor->transaction.qmiLength > kMaxQmiMessage) return vant::kMemoryError;
  descriptor->reserved = 0;
  const uint8_t t = g_transaction;
  const size_t size = build_request(buffer, *descriptor, t);
  ++g_transaction;
  // Indications are taken only from the daemon the request goes to: one
  // started after the last request must be able to reach us.
  IpcChannel& notifications = ci_notification_channel();
  if (notifications.socket >= 0) os_ipc_connect(&notifications);
  const bool terminate =
      !qmi && static_cast<uint8_t>(descriptor->transaction.timeout) == kSdkRequestTerminate;
  // A request that did not go out gets no answer: its time-out comes at once.
  if (!os_ipc_send(&ci_request_channel(), buffer, size))
    return terminate ? vant::kSuccess : vant::kSdkTimedOut;
  if (terminate) return vant::kSuccess;

  uint8_t last = 0;
  for (;;) {
    // Cleared for every datagram, so nothing of a longer earlier one is
    // left behind the current one.
    std::memset(g_response_buffer, 0, sizeof g_response_buffer);
    size_t received = sizeof g_response_buffer;
    if (!receive_while_daemon_lives(g_response_buffer, &received, limit_ms)) {
      IpcChannel& channel = ci_request_channel();
      if (channel.refusedSender < 0) return vant::kSdkTimedOut;
      // The daemon's name is held by a user we do not trust: nothing it
      // sends is an answer, and the caller learns so at once.
      note_foreign_daemon(channel.refusedSender);
      channel.refusedSender = -1;
      return vant::kSocketInUse;
    }
    if (received == 0) return vant::kSdkTimedOut;
    const ClassifiedResponse c = am_classify_response(g_response_buffer, received, qmi, t, &last);
    if (c.verdict == ResponseVerdict::kInvalid) return vant::kInvalidQmiResponse;
    if (c.verdict == ResponseVerdict::kAnswer) {
      *response = c.payload;
      return c.result;
    }
    // Stale: the answer to an earlier request that was given up. Wait again.
  }
}

uint32_t am_send_and_wait(uint8_t* buffer, RequestDescriptor* descriptor,
                          const uint8_t** response) {
  return am_exchange(buffer, descriptor, response, am_stretch_wait(descriptor->waitTime));
}

uint32_t send_qmi_request_on(uint8_t* buffer, uint8_t service, uint16_t tlv_length,
                             uint32_t timeout_ms, const uint8_t** response, uint8_t instance) {
  if (instance >= kMaxClientInstances) return vant::kNoQmiInterface;
  RequestDescriptor descriptor{};
  descriptor.kind = kRequestQmi;
  descriptor.waitTime = timeout_ms;
  descriptor.transaction.qmiLength = static_cast<uint32_t>(tlv_length) + 4;
  descriptor.transaction.timeout = timeout_ms;
  descriptor.transaction.service = service;
  descriptor.transaction.instance = instance;
  return am_send_and_wait(buffer, &descriptor, response);
}

uint32_t send_qmi_request(uint8_t* buffer, uint8_t service, uint16_t tlv_length,
                          uint32_t timeout_ms, const uint8_t** response) {
  return send_qmi_request_on(buffer, service, tlv_length, timeout_ms, response, 0);
}

uint32_t send_sdk_request(uint8_t* buffer, uint8_t request_type, uint16_t /*length*/,
                          uint32_t timeout_ms, const uint8_t** response) {
  RequestDescriptor descriptor{};
  descriptor.kind = kRequestSdk;
  descriptor.waitTime = timeout_ms;
  descriptor.transaction.timeout = request_type;
  return am_send_and_wait(buffer, &descriptor, response);
}
