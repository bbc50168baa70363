// What reaches the emulator from a host: a byte stream of frames, and request
// TLVs of every message it knows. The first byte chooses which. Nothing a host
// sends may crash the modem or make it answer with a frame it cannot encode.
#include <cstddef>
#include <cstdint>
#include <span>

#include "qmux/ctl.h"
#include "qmux/reassembler.h"
#include "qmux/tlv.h"
#include "sim/modem_core.h"

namespace {

using namespace vant;

sim::ModemCore& modem() {
  static sim::ModemCore core([] {
    sim::Scenario s = sim::default_scenario();
    s.behaviour.latency_ms = 0;
    return s;
  }());
  return core;
}

void check(const std::optional<sim::Scheduled>& answer) {
  if (!answer) return;
  for (const auto& bytes : answer->writes) {
    if (bytes.empty()) __builtin_trap();
  }
}

void stream(std::span<const uint8_t> bytes) {
  qmux::Reassembler r;
  r.feed(bytes);
  while (auto frame = r.next()) check(modem().handle(*frame, sim::Clock::now()));
}

// A request of a known message with the fuzzer's TLVs, on an allocated client.
void request(std::span<const uint8_t> bytes) {
  if (bytes.empty() || !qmux::tlvs_well_formed(bytes.subspan(1))) return;
  const auto table = sim::message_table();
  const auto& entry = table[bytes[0] % table.size()];
  qmux::Frame f;
  f.service = entry.service;
  f.message_id = entry.message_id;
  f.transaction = 1;
  f.tlvs.assign(bytes.begin() + 1, bytes.end());
  const auto now = sim::Clock::now();
  if (f.service != sim::kServiceCtl) {
    modem().handle(qmux::ctl::allocate_client_id_request(1, f.service), now);
    f.client_id = 1;
  }
  check(modem().handle(f, now));
  // Sync frees every client id again, so that they never run out.
  modem().handle(qmux::ctl::sync_request(1), now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> rest(data + 1, size - 1);
  if (data[0] & 1) {
    request(rest);
  } else {
    stream(rest);
  }
  return 0;
}
