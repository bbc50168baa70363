// One QMI request relayed by the daemon: client datagram in, QMUX frame to a
// scripted modem on a socketpair, its answer back to the client. The daemon
// runs in this process on real sockets.
#include <benchmark/benchmark.h>

#include <thread>

#include "daemon/daemon.h"
#include "daemon/log.h"
#include "tests/daemon/fake_modem.h"
#include "tests/daemon/test_client.h"

namespace {

using namespace vant::daemon;
using namespace vant::daemon::testing;

// Modem 10, unlikely to collide with a daemon running on this host.
constexpr unsigned kModem = 10;

class RunningDaemon {
 public:
  RunningDaemon() {
    log_open(LogSink::standard_error, false);
    std::optional<ClientEndpoints> endpoints;
    std::string error;
    if (ClientEndpoints::open(kModem, endpoints, error) != EndpointsStatus::open) return;
    daemon_ = std::make_unique<Daemon>(std::move(*endpoints), std::make_unique<FakeModemSource>());
    thread_ = std::thread([this] { daemon_->run(); });
  }
  ~RunningDaemon() {
    if (!daemon_) return;
    daemon_->request_stop();
    thread_.join();
  }
  bool ok() const { return daemon_ != nullptr; }

 private:
  std::unique_ptr<Daemon> daemon_;
  std::thread thread_;
};

void BM_RelayOneRequest(benchmark::State& state) {
  RunningDaemon daemon;
  if (!daemon.ok()) return state.SkipWithError("modem 10's sockets are taken");
  TestClient client(kModem, 0);
  uint8_t transaction = 0;
  for (auto _ : state) {
    const auto answer = client.request({.transaction = ++transaction,
                                        .service = 3,
                                        .message_id = 0x5568,
                                        .tlvs = {0x10, 1, 0, 7}});
    if (!answer || answer->result != 0) return state.SkipWithError("request failed");
  }
}
BENCHMARK(BM_RelayOneRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Three clients, each with a window of requests in flight: what the daemon
// relays per second when it is busy.
void BM_RelayThreeClientsPipelined(benchmark::State& state) {
  constexpr int kWindow = 8;
  RunningDaemon daemon;
  if (!daemon.ok()) return state.SkipWithError("modem 10's sockets are taken");
  std::vector<std::unique_ptr<TestClient>> clients;
  for (unsigned pair = 0; pair < 3; ++pair)
    clients.push_back(std::make_unique<TestClient>(kModem, pair));
  uint8_t transaction = 0;
  for (auto _ : state) {
    for (int i = 0; i < kWindow; ++i, ++transaction)
      for (auto& c : clients) c->send(QmiRequestFields{.transaction = transaction, .service = 3});
    for (int i = 0; i < kWindow; ++i)
      for (auto& c : clients)
        if (!c->receive()) return state.SkipWithError("an answer is missing");
  }
  state.SetItemsProcessed(state.iterations() * kWindow * 3);
}
BENCHMARK(BM_RelayThreeClientsPipelined)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
