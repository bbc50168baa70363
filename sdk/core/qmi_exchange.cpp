// The calling sequence every request function follows.
#include "sdk/core/request_engine.h"
#include "vantsdk/result_codes.h"

namespace {

// Holds the API lock for one scope, so that every path releases it.
class ApiLock {
 public:
  ApiLock() : result_(api_lock_take(&buffer_)) {}
  ~ApiLock() {
    if (result_ == vant::kSuccess) api_lock_release();
  }
  ApiLock(const ApiLock&) = delete;
  ApiLock& operator=(const ApiLock&) = delete;

  uint32_t result() const { return result_; }
  uint8_t* buffer() const { return buffer_; }

 private:
  uint8_t* buffer_ = nullptr;
  uint32_t result_;
};

}  // namespace

uint32_t run_qmi_exchange(const QmiExchange& exchange) {
  ApiLock lock;
  if (lock.result() != vant::kSuccess) return lock.result();

  uint16_t tlv_length = 0;
  uint32_t result = pack_request(am_payload_offset(kAmQmiRequest, lock.buffer()), exchange.input,
                                 exchange.request, exchange.messageId, &tlv_length);
  if (result != vant::kSuccess) return result;

  const uint8_t* response = nullptr;
  result = send_qmi_request_on(lock.buffer(), exchange.service, tlv_length, exchange.timeoutMs,
                               &response, exchange.instance);
  if (result != vant::kSuccess) return result;

  if (exchange.preset != nullptr) exchange.preset(exchange.output);
  ResponseContext context{};
  context.output = exchange.output;
  const ResponseWalker walk = exchange.walker != nullptr ? exchange.walker : &unpack_response;
  return walk(response, &context, exchange.response, exchange.messageId);
}
