// One request's round trip through the engine (lock, pack, send, wait,
// match, unpack) against an in-process fake daemon on real sockets.
#include <benchmark/benchmark.h>

#include "sdk/core/channels.h"
#include "sdk/core/request_engine.h"
#include "tests/core/fake_daemon.h"

namespace {

// Modem 11, the least likely to collide with a daemon running on this host.
constexpr uint8_t kModem = 11;

uint32_t pack_byte(QmiCursor* c, const void* input) {
  return put_u8(c, *static_cast<const uint8_t*>(input));
}
uint32_t unpack_value(QmiCursor* c, ResponseContext* context) {
  return get_u32(c, static_cast<uint32_t*>(context->output));
}
constexpr TlvEntry kRequest[] = {{0x10, &pack_byte}, {kTlvEnd, nullptr}};
constexpr TlvEntry kResponse[] = {
    {kResultTlvType, &unpack_result_tlv}, {0x11, &unpack_value}, {kTlvEnd, nullptr}};

void BM_RequestRoundTrip(benchmark::State& state) {
  vant::test::FakeDaemon daemon(kModem);
  daemon.set_responder([](const vant::test::ReceivedPacket& r) {
    return std::vector<vant::test::Bytes>{
        vant::test::success_response(r, {{0x11, vant::test::le32(7)}})};
  });
  static const bool claimed = ci_open_client_channels(kModem) == 1;
  if (!claimed) {
    state.SkipWithError("no channels to the fake daemon");
    return;
  }
  const uint8_t input = 1;
  uint32_t value = 0;
  QmiExchange exchange{3, 0x0099, 5000, kRequest, &input, kResponse, &value};
  for (auto _ : state) {
    if (run_qmi_exchange(exchange) != 0) state.SkipWithError("request failed");
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_RequestRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
