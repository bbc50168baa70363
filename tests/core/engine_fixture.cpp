#include "tests/core/engine_fixture.h"

namespace vant::test {
namespace {

uint32_t pack_byte(QmiCursor* c, const void* input) {
  return put_u8(c, *static_cast<const uint8_t*>(input));
}
uint32_t unpack_value(QmiCursor* c, ResponseContext* context) {
  return get_u32(c, &static_cast<TestOutput*>(context->output)->value);
}
constexpr TlvEntry kRequest[] = {{0x10, &pack_byte}, {kTlvEnd, nullptr}};
constexpr TlvEntry kResponse[] = {
    {kResultTlvType, &unpack_result_tlv}, {0x11, &unpack_value}, {kTlvEnd, nullptr}};

}  // namespace

uint32_t test_request(uint8_t service, uint32_t timeout_ms, uint8_t input, TestOutput* output) {
  QmiExchange exchange{};
  exchange.service = service;
  exchange.messageId = kTestMessage;
  exchange.timeoutMs = timeout_ms;
  exchange.request = kRequest;
  exchange.input = &input;
  exchange.response = kResponse;
  exchange.output = output;
  return run_qmi_exchange(exchange);
}

uint32_t test_request_with_limit(uint32_t limit_ms, uint8_t input, TestOutput* output) {
  uint8_t* buffer = nullptr;
  if (const uint32_t locked = api_lock_take(&buffer); locked != 0) return locked;
  uint16_t tlv_length = 0;
  uint32_t result = pack_request(am_payload_offset(kAmQmiRequest, buffer), &input, kRequest,
                                 kTestMessage, &tlv_length);
  RequestDescriptor descriptor{};
  descriptor.kind = kRequestQmi;
  descriptor.waitTime = limit_ms;
  descriptor.transaction = {0, static_cast<uint32_t>(tlv_length + 4), limit_ms, kTestService, 0};
  const uint8_t* response = nullptr;
  if (result == 0) result = am_exchange(buffer, &descriptor, &response, limit_ms);
  if (result == 0) {
    ResponseContext context{};
    context.output = output;
    result = unpack_response(response, &context, kResponse, kTestMessage);
  }
  api_lock_release();
  return result;
}

Bytes answer(const ReceivedPacket& request, uint32_t value, int transaction_shift) {
  ReceivedPacket shifted = request;
  shifted.transaction = static_cast<uint8_t>(request.transaction + transaction_shift);
  return success_response(shifted, {{0x11, le32(value)}});
}

void EngineTest::SetUpTestSuite() {
  daemon_ = new FakeDaemon(0);
  // This process's channels are claimed once and kept, as in the library.
  static const bool claimed = ci_open_client_channels(0) == 1;
  ASSERT_TRUE(claimed);
}

void EngineTest::TearDownTestSuite() {
  delete daemon_;
  daemon_ = nullptr;
}

void EngineTest::SetUp() {
  daemon_->clear_received();
  daemon_->set_responder([](const ReceivedPacket& r) -> std::vector<Bytes> {
    if (r.packetType != 0xC0) return {};
    return {answer(r, 0x1000u + r.transaction)};
  });
  ci_set_client_state(1);
}

}  // namespace vant::test
