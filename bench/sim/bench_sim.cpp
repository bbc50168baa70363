// The emulator's own costs: reassembling frames from a byte stream, answering
// a cell location request, and a whole request/answer round trip over a
// socketpair.
#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "qmux/qmux.h"
#include "sim/emulator.h"
#include "sim/modem_core.h"
#include "sim/scenario_json.h"

namespace {

using namespace vant;

sim::Scenario immediate(sim::Scenario s) {
  s.behaviour.latency_ms = 0;
  return s;
}

qmux::Frame cell_location_request(uint8_t client, uint16_t transaction) {
  qmux::Frame f;
  f.service = sim::kServiceNas;
  f.client_id = client;
  f.transaction = transaction;
  f.message_id = 0x0043;
  return f;
}

// Frames of 64 bytes of TLVs, fed in reads of 4096 bytes.
void BM_ReassembleStream(benchmark::State& state) {
  qmux::Frame f = cell_location_request(1, 1);
  f.tlvs.assign(64, 0);
  f.tlvs[0] = 0x10;
  f.tlvs[1] = 61;
  std::vector<uint8_t> stream;
  while (stream.size() < 4096) qmux::encode_frame(f, stream);
  size_t frames = 0;
  for (auto _ : state) {
    qmux::Reassembler r;
    for (size_t at = 0; at < stream.size(); at += 4096)
      r.feed(std::span(stream).subspan(at, std::min<size_t>(4096, stream.size() - at)));
    while (auto frame = r.next()) {
      benchmark::DoNotOptimize(frame);
      ++frames;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_ReassembleStream);

// The modem's work on one cell location request, for the default cells and
// for the long lists.
void BM_AnswerCellLocation(benchmark::State& state, const char* scenario) {
  std::string error;
  auto s = sim::load_scenario_argument(scenario, error);
  if (!s) {
    state.SkipWithError(error.c_str());
    return;
  }
  sim::ModemCore core(immediate(*s));
  core.handle(qmux::ctl::allocate_client_id_request(1, sim::kServiceNas), sim::Clock::now());
  uint16_t transaction = 0;
  for (auto _ : state) {
    auto answer = core.handle(cell_location_request(1, ++transaction), sim::Clock::now());
    benchmark::DoNotOptimize(answer);
  }
}
BENCHMARK_CAPTURE(BM_AnswerCellLocation, default, "default");
BENCHMARK_CAPTURE(BM_AnswerCellLocation, long_lists, "every-technology-long-lists");

// One request and its answer through serve() on a socketpair.
void BM_RoundTripOverSocketpair(benchmark::State& state) {
  sim::Emulator emulator(immediate(sim::default_scenario()));
  int fds[2];
  socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
  std::thread server([&] { emulator.serve(fds[1]); });
  qmux::Reassembler r;
  auto ask = [&](const qmux::Frame& request) {
    qmux::write_frame(fds[0], request);
    std::optional<qmux::Frame> answer;
    while (!(answer = r.next()) && qmux::read_into(fds[0], r) == qmux::ReadStatus::data) {
    }
    return answer;
  };
  ask(qmux::ctl::allocate_client_id_request(1, sim::kServiceNas));
  uint16_t transaction = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ask(cell_location_request(1, ++transaction)));
  close(fds[0]);
  server.join();
  close(fds[1]);
}
BENCHMARK(BM_RoundTripOverSocketpair)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
