// The emulator driven over a real socketpair: control service, routing by
// client, state changes, behaviour rules and the modem's disappearances.
#include "sim/emulator.h"

#include <gtest/gtest.h>

#include "sim/in_process_link.h"
#include "sim/scenario_json.h"
#include "test_host.h"

namespace vant::sim::testing {
namespace {

constexpr uint8_t kWds = 0x01, kNas = 0x03;

using qmux::ctl::ClientId;

TEST(Control, AllocatesUntilExhaustedAndReleases) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  for (uint8_t expected = 1; expected <= 10; ++expected) EXPECT_EQ(expected, host.allocate(kNas));
  const auto refused =
      host.ask(qmux::ctl::allocate_client_id_request(host.next_ctl_transaction(), kNas));
  ASSERT_TRUE(refused);
  EXPECT_EQ((qmux::QmiResult{1, 0x05}), result_of(*refused));
  // Another service has ids of its own.
  EXPECT_EQ(1, host.allocate(kWds));

  const auto released =
      host.ask(qmux::ctl::release_client_id_request(host.next_ctl_transaction(), {kNas, 4}));
  ASSERT_TRUE(released);
  EXPECT_EQ(0, result_of(*released).result);
  EXPECT_EQ((ClientId{kNas, 4}), qmux::ctl::parse_release_client_id_response(*released));
  EXPECT_EQ(4, host.allocate(kNas));

  const auto again =
      host.ask(qmux::ctl::release_client_id_request(host.next_ctl_transaction(), {kNas, 11}));
  EXPECT_EQ((qmux::QmiResult{1, 0x07}), result_of(*again));
}

TEST(Control, SyncFreesEveryClientId) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  host.allocate(kNas);
  host.allocate(kWds);
  const auto sync = host.ask(qmux::ctl::sync_request(host.next_ctl_transaction()));
  ASSERT_TRUE(sync);
  EXPECT_EQ(qmux::ctl::kSync, sync->message_id);
  EXPECT_EQ(0, result_of(*sync).result);
  EXPECT_TRUE(emulator.snapshot().allocated_client_ids.empty());
  EXPECT_EQ(1, host.allocate(kNas));
}

TEST(Control, VersionInfoListsTheServices) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const auto answer = host.ask(qmux::ctl::get_version_info_request(host.next_ctl_transaction()));
  ASSERT_TRUE(answer);
  const auto versions = qmux::ctl::parse_version_info_response(*answer);
  ASSERT_TRUE(versions);
  std::vector<uint8_t> services;
  for (const auto& v : *versions) services.push_back(v.service);
  EXPECT_EQ((std::vector<uint8_t>{0, 1, 2, 3}), services);
}

TEST(Routing, AnswersCarryTheRequestsClientAndTransaction) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t a = host.allocate(kNas), b = host.allocate(kNas);
  auto first = host.request(kNas, a, 0x0043);
  auto second = host.request(kNas, b, 0x5568);
  host.send(first);
  host.send(second);
  const auto x = host.receive(), y = host.receive();
  ASSERT_TRUE(x && y);
  EXPECT_EQ(qmux::Sender::modem, x->sender);
  EXPECT_EQ(qmux::MessageKind::response, x->kind);
  EXPECT_EQ(std::make_tuple(a, first.transaction, uint16_t{0x0043}),
            std::make_tuple(x->client_id, x->transaction, x->message_id));
  EXPECT_EQ(std::make_tuple(b, second.transaction, uint16_t{0x5568}),
            std::make_tuple(y->client_id, y->transaction, y->message_id));
}

TEST(Routing, UnknownMessagesAndUnallocatedClientsAreRefused) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  struct Row {
    const char* what;
    qmux::Frame request;
    uint16_t error;
  };
  const Row rows[] = {
      {"unknown NAS message", host.request(kNas, nas, 0x0025), 0x47},
      {"unknown service", host.request(0x05, 1, 0x0001), 0x07},
      {"client never allocated", host.request(kNas, nas + 1, 0x0043), 0x07},
  };
  for (const auto& row : rows) {
    const auto answer = host.ask(row.request);
    ASSERT_TRUE(answer) << row.what;
    EXPECT_EQ((qmux::QmiResult{1, row.error}), result_of(*answer)) << row.what;
  }
  const uint8_t other = host.allocate(0x05);
  EXPECT_EQ(0x47, result_of(*host.ask(host.request(0x05, other, 0x0001))).error);
}

TEST(Routing, AFrameThatNeverCompletesIsGivenUp) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  // A consistent header announcing 20 bytes of TLVs that never come: the
  // request after it is taken for those bytes until the emulator gives up.
  host.send_bytes({0x01, 0x20, 0x00, 0x00, 0x03, nas, 0x00, 0x09, 0x00, 0x43, 0x00, 0x14, 0x00});
  const auto answer = host.ask(host.request(kNas, nas, 0x5568));
  ASSERT_TRUE(answer);
  EXPECT_EQ(0x5568, answer->message_id);
}

TEST(Routing, GarbageOnTheStreamIsSkipped) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  host.send_bytes({0xFF, 0x01, 0x03, 0x00, 0x13, 0x37});
  const auto answer = host.ask(host.request(kNas, nas, 0x5568));
  ASSERT_TRUE(answer);
  EXPECT_EQ(0x5568, answer->message_id);
}

// ---- State changes visible on the wire ----

uint8_t service_status_of(const qmux::Frame& scan, uint16_t mcc, uint16_t mnc) {
  const Bytes v = tlv_value(scan, 0x10);
  qmux::WireReader r(v);
  uint16_t count = 0;
  r.u16(count);
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t m = 0, n = 0;
    uint8_t status = 0, length = 0;
    r.u16(m);
    r.u16(n);
    r.u8(status);
    r.u8(length);
    r.skip(length);
    if (m == mcc && n == mnc) return status & 3;
  }
  return 0xFF;
}

TEST(State, RegistrationMovesTheServingNetwork) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  auto scan = [&] { return *host.ask(host.request(kNas, nas, 0x0021)); };
  EXPECT_EQ(1, service_status_of(scan(), 310, 260));

  // Manual registration on 310/410 (LTE).
  auto reg = host.ask(host.request(
      kNas, nas, 0x0022, {0x01, 0x01, 0x00, 0x02, 0x10, 0x05, 0x00, 0x36, 0x01, 0x9A, 0x01, 0x08}));
  EXPECT_EQ(0, result_of(*reg).result);
  EXPECT_EQ((std::make_pair(uint16_t{310}, uint16_t{410})), emulator.snapshot().registered);
  EXPECT_EQ(2, service_status_of(scan(), 310, 260));
  EXPECT_EQ(1, service_status_of(scan(), 310, 410));

  // Automatic registration returns to the home network.
  host.ask(host.request(kNas, nas, 0x0022, {0x01, 0x01, 0x00, 0x01}));
  EXPECT_EQ(1, service_status_of(scan(), 310, 260));

  struct Row {
    const char* what;
    Bytes tlvs;
    uint16_t error;
  };
  const Row refused[] = {
      {"no action", {}, 0x11},
      {"manual without network", {0x01, 0x01, 0x00, 0x02}, 0x11},
      {"unknown action", {0x01, 0x01, 0x00, 0x07}, 0x20},
  };
  for (const auto& row : refused)
    EXPECT_EQ(row.error, result_of(*host.ask(host.request(kNas, nas, 0x0022, row.tlvs))).error)
        << row.what;
}

TEST(State, SelectionPreferenceIsStoredAndTakesEffect) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  // Manual selection of 311/480, and a mode preference of LTE only.
  const Bytes tlvs = {0x16, 0x05, 0x00, 0x01, 0x37, 0x01, 0xE0, 0x01, 0x11, 0x02, 0x00, 0x10, 0x00};
  EXPECT_EQ(0, result_of(*host.ask(host.request(kNas, nas, 0x0033, tlvs))).result);
  const auto snap = emulator.snapshot();
  EXPECT_EQ((std::make_pair(uint16_t{311}, uint16_t{480})), snap.registered);
  EXPECT_EQ((Bytes{0x01, 0x37, 0x01, 0xE0, 0x01}), snap.selection_preference.at(0x16));

  const auto cells = *host.ask(host.request(kNas, nas, 0x0043));
  EXPECT_FALSE(has_tlv(cells, 0x11)) << "UMTS is not allowed";
  EXPECT_TRUE(has_tlv(cells, 0x13));

  const Bytes wrong_width = {0x17, 0x02, 0x00, 0x01, 0x02};
  EXPECT_EQ(0x01, result_of(*host.ask(host.request(kNas, nas, 0x0033, wrong_width))).error);
  const Bytes counted = {0x1E, 0x03, 0x00, 0x02, 0xAA, 0xBB};
  EXPECT_EQ(0, result_of(*host.ask(host.request(kNas, nas, 0x0033, counted))).result);
  EXPECT_EQ((Bytes{0x02, 0xAA, 0xBB}), emulator.snapshot().selection_preference.at(0x1E));
}

// Band masks: 64-bit words little-endian, band n at bit n - 1.
Bytes mask(size_t words, std::initializer_list<unsigned> bands) {
  Bytes value(8 * words, 0);
  for (unsigned band : bands)
    value.at((band - 1) / 8) |= static_cast<uint8_t>(1u << (band - 1) % 8);
  return value;
}

Bytes band_tlv(uint8_t type, size_t words, std::initializer_list<unsigned> bands) {
  const Bytes value = mask(words, bands);
  Bytes tlv = {type, static_cast<uint8_t>(value.size()), 0};
  tlv.insert(tlv.end(), value.begin(), value.end());
  return tlv;
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The default modem supports LTE 1-5, 7, 8, 12, 13, 20, 25, 26, 28, 66, 71
// and NR 1-3, 5, 7, 28, 41, 66, 71, 77, 78.
TEST(State, BandPreferencesOutsideTheModemAreRefusedWhole) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  const Bytes lte_only_mode = {0x11, 0x02, 0x00, 0x10, 0x00};
  Bytes short_nr = band_tlv(0x2F, 8, {78});
  short_nr.pop_back();
  short_nr[1] = 63;
  struct Row {
    const char* what;
    Bytes tlvs;
    uint16_t error;
  };
  const Row rows[] = {
      {"LTE band 6", band_tlv(0x15, 1, {6, 12}), 0x30},
      {"no LTE band", band_tlv(0x24, 4, {}), 0x30},
      {"LTE band 67", band_tlv(0x24, 4, {3, 67}), 0x30},
      {"NR band 4", band_tlv(0x2F, 8, {4, 78}), 0x30},
      {"no NR band", band_tlv(0x30, 8, {}), 0x30},
      {"a good mode with a bad mask", joined({lte_only_mode, band_tlv(0x15, 1, {6})}), 0x30},
      {"an NR mask one byte short", short_nr, 0x01},
      {"a change duration of 2", {0x17, 0x01, 0x00, 0x02}, 0x30},
  };
  auto preference = [&] { return host.ask(host.request(kNas, nas, 0x0034))->tlvs; };
  const Bytes before = preference();
  for (const auto& row : rows) {
    EXPECT_EQ(row.error, result_of(*host.ask(host.request(kNas, nas, 0x0033, row.tlvs))).error)
        << row.what;
  }
  EXPECT_EQ(before, preference()) << "nothing was stored";
  EXPECT_TRUE(emulator.snapshot().selection_preference.empty());
  EXPECT_TRUE(has_tlv(*host.ask(host.request(kNas, nas, 0x0043)), 0x11)) << "UMTS still allowed";
}

// The serving 5110/257 is in band 12; 2000/41 (band 4, RSRP -97.0) is the
// strongest cell elsewhere, then 850/133 (band 2).
TEST(State, BandPreferenceMovesTheServingCellOrLosesLte) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  auto set = [&](const Bytes& tlvs) {
    return result_of(*host.ask(host.request(kNas, nas, 0x0033, tlvs))).error;
  };
  auto serving = [&]() -> std::pair<int, int> {
    const Bytes intra = tlv_value(*host.ask(host.request(kNas, nas, 0x0043)), 0x13);
    if (intra.size() < 14) return {0, 0};
    return {intra[10] | intra[11] << 8, intra[12] | intra[13] << 8};
  };
  EXPECT_EQ(0, set(band_tlv(0x24, 4, {2, 4})));
  EXPECT_EQ((std::pair{2000, 41}), serving());
  // Bands 1 to 64 alone leave the bands above as they were (66 and 71 off now).
  EXPECT_EQ(0, set(band_tlv(0x15, 1, {2})));
  EXPECT_EQ((std::pair{850, 133}), serving());
  EXPECT_EQ(mask(4, {2}), tlv_value(*host.ask(host.request(kNas, nas, 0x0034)), 0x23));
  EXPECT_EQ(0, set(band_tlv(0x15, 1, {1})));
  const auto none = *host.ask(host.request(kNas, nas, 0x0043));
  for (uint8_t type : {0x13, 0x14, 0x15, 0x16}) EXPECT_FALSE(has_tlv(none, type)) << +type;
  EXPECT_TRUE(has_tlv(none, 0x11));
  EXPECT_EQ(0, set(band_tlv(0x24, 4, {66, 12})));
  EXPECT_EQ((std::pair{5110, 257}), serving());
}

TEST(State, PciLockToAKnownCellMakesItServing) {
  Emulator emulator(quick(default_scenario()));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  // EARFCN 2000, PCI 41: an inter-frequency neighbour of the default cells.
  host.ask(
      host.request(kNas, nas, 0x5569, {0x12, 0x09, 0x00, 0x01, 0xD0, 0x07, 0, 0, 41, 0, 0, 0}));
  const Bytes intra = tlv_value(*host.ask(host.request(kNas, nas, 0x0043)), 0x13);
  ASSERT_GE(intra.size(), 14u);
  EXPECT_EQ((Bytes{0xD0, 0x07, 41, 0x00}), Bytes(intra.begin() + 10, intra.begin() + 14));
  // An unknown cell leaves no LTE service.
  host.ask(
      host.request(kNas, nas, 0x5569, {0x12, 0x09, 0x00, 0x01, 0xD0, 0x07, 0, 0, 42, 0, 0, 0}));
  const auto none = *host.ask(host.request(kNas, nas, 0x0043));
  EXPECT_FALSE(has_tlv(none, 0x13));
  EXPECT_FALSE(has_tlv(none, 0x14));
  EXPECT_TRUE(has_tlv(none, 0x11));
}

// The time a locked cell takes to fail counts from the request that set the lock.
TEST(State, LockedCellFailsAfterTheLockWasSet) {
  std::string error;
  const auto s = parse_scenario(R"({"base": "default", "cells": {"lte_inter": {"frequencies": [
      {"earfcn": 2000, "cells": [{"pci": 41, "when_locked": {"after_ms": 300, "service": false}}]}]}}})",
                                "t.json", error);
  ASSERT_TRUE(s) << error;
  Emulator emulator(quick(*s));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  const Bytes lock = {0x12, 0x09, 0x00, 0x01, 0xD0, 0x07, 0, 0, 41, 0, 0, 0};
  const Bytes unlock = {0x12, 0x09, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
  auto has_lte = [&] { return has_tlv(*host.ask(host.request(kNas, nas, 0x0043)), 0x13); };
  std::this_thread::sleep_for(400ms);  // longer than after_ms since the emulator started
  host.ask(host.request(kNas, nas, 0x5569, lock));
  EXPECT_TRUE(has_lte()) << "serves at first";
  std::this_thread::sleep_for(400ms);
  EXPECT_FALSE(has_lte()) << "no LTE service once the time is up";
  host.ask(host.request(kNas, nas, 0x5569, unlock));
  EXPECT_TRUE(has_lte()) << "back on the old serving cell without the lock";
}

// ---- Behaviour rules ----

template <class F>
Scenario with_rule(const std::string& name, F set) {
  Scenario s = quick(default_scenario());
  set(s.behaviour.rules[name]);
  return s;
}

TEST(Behaviour, InjectedErrorsWithAndWithoutTlvs) {
  for (bool keep : {false, true}) {
    Emulator emulator(with_rule("nas.cell_location_info", [&](MessageRule& r) {
      r.qmi_error = 0x10;
      r.keep_tlvs = keep;
    }));
    TestHost host(emulator);
    const uint8_t nas = host.allocate(kNas);
    const auto answer = host.ask(host.request(kNas, nas, 0x0043));
    ASSERT_TRUE(answer);
    EXPECT_EQ((qmux::QmiResult{1, 0x10}), result_of(*answer));
    EXPECT_EQ(keep, has_tlv(*answer, 0x13));
  }
}

TEST(Behaviour, CountLimitsARuleToTheFirstRequests) {
  Emulator emulator(with_rule("nas.get_channel_lock", [](MessageRule& r) {
    r.drop = true;
    r.count = 1;
  }));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  host.send(host.request(kNas, nas, 0x5568));
  EXPECT_FALSE(host.receive(300ms)) << "the first answer is dropped";
  EXPECT_TRUE(host.ask(host.request(kNas, nas, 0x5568)));
}

TEST(Behaviour, EveryMessageRuleCoversTheControlService) {
  Emulator emulator(with_rule("*", [](MessageRule& r) { r.drop = true; }));
  TestHost host(emulator);
  host.send(qmux::ctl::allocate_client_id_request(1, kNas));
  EXPECT_FALSE(host.receive(300ms));
}

TEST(Behaviour, ADroppedSyncFreesNothingSoLeakedIdsShow) {
  Scenario s = with_rule("ctl.sync", [](MessageRule& r) { r.drop = true; });
  s.behaviour.client_ids_per_service = 2;
  Emulator emulator(s);
  TestHost host(emulator);
  host.allocate(kNas);
  host.allocate(kNas);
  host.send(qmux::ctl::sync_request(host.next_ctl_transaction()));
  EXPECT_FALSE(host.receive(300ms)) << "the Sync is answered";
  const auto refused =
      host.ask(qmux::ctl::allocate_client_id_request(host.next_ctl_transaction(), kNas));
  ASSERT_TRUE(refused);
  EXPECT_EQ((qmux::QmiResult{1, 0x05}), result_of(*refused)) << "the dropped Sync freed ids";
}

TEST(Behaviour, SlowAnswersDoNotHoldUpOthers) {
  Scenario s = quick(default_scenario());
  s.scan.duration_ms = 400;
  Emulator emulator(s);
  TestHost host(emulator);
  const uint8_t a = host.allocate(kNas), b = host.allocate(kNas);
  host.send(host.request(kNas, a, 0x0021));
  host.send(host.request(kNas, b, 0x0043));
  const auto first = host.receive(), second = host.receive();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(0x0043, first->message_id);
  EXPECT_EQ(0x0021, second->message_id);
}

TEST(Behaviour, MalformedAnswers) {
  struct Row {
    Malformation how;
    bool arrives;  // the host's reassembler still finds a frame
    bool has_result;
  };
  const Row rows[] = {
      {Malformation::bad_frame, false, false},
      {Malformation::no_result, true, false},
      {Malformation::noise_before, true, true},
  };
  for (const auto& row : rows) {
    Emulator emulator(
        with_rule("nas.get_channel_lock", [&](MessageRule& r) { r.malformed = row.how; }));
    TestHost host(emulator);
    const uint8_t nas = host.allocate(kNas);
    host.send(host.request(kNas, nas, 0x5568));
    const auto answer = host.receive(row.arrives ? 3000ms : 300ms);
    ASSERT_EQ(row.arrives, answer.has_value()) << static_cast<int>(row.how);
    if (answer) {
      EXPECT_EQ(row.has_result, has_tlv(*answer, 0x02)) << static_cast<int>(row.how);
    }
  }
}

TEST(Behaviour, ShortValueCutsTheLastTlv) {
  Emulator emulator(with_rule("nas.get_channel_lock",
                              [](MessageRule& r) { r.malformed = Malformation::short_value; }));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  const auto answer = host.ask(host.request(kNas, nas, 0x5568));
  ASSERT_TRUE(answer);
  EXPECT_EQ(5u, tlv_value(*answer, 0x10).size());
  EXPECT_EQ(4u, tlv_value(*answer, 0x12).size());
}

TEST(Behaviour, OnlyResultKeepsTheResultAlone) {
  Emulator emulator(
      with_rule("nas.cell_location_info", [](MessageRule& r) { r.only_result = true; }));
  TestHost host(emulator);
  const uint8_t nas = host.allocate(kNas);
  const auto answer = host.ask(host.request(kNas, nas, 0x0043));
  ASSERT_TRUE(answer);
  EXPECT_EQ((Bytes{0x02, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}), answer->tlvs);
}

// ---- Presence ----

Scenario flapping(uint32_t at_ms, std::optional<uint32_t> for_ms) {
  Scenario s = quick(default_scenario());
  s.behaviour.outages = {{at_ms, for_ms}};
  return s;
}

TEST(Presence, DisappearingEndsTheStreamAndReturningIsARestart) {
  Emulator emulator(flapping(300, 300));
  {
    TestHost host(emulator);
    EXPECT_EQ(1, host.allocate(kNas));
    EXPECT_TRUE(host.sees_end_of_stream());
    EXPECT_EQ(ServeEnd::modem_gone, host.wait_end());
  }
  EXPECT_FALSE(emulator.present());
  EXPECT_TRUE(emulator.wait_present(3000ms));
  TestHost host(emulator);
  const auto sync = host.receive();
  ASSERT_TRUE(sync);
  EXPECT_TRUE(qmux::ctl::is_sync_indication(*sync));
  EXPECT_EQ(1, host.allocate(kNas)) << "the restart freed every client id";
  EXPECT_EQ(1u, emulator.snapshot().restarts);
}

// A change until power cycle is gone when the modem restarts; a permanent one stays.
TEST(State, OnlyPermanentPreferencesSurviveARestart) {
  Emulator emulator(flapping(300, 200));
  auto ask_preference = [](TestHost& host, uint8_t nas) {
    return *host.ask(host.request(kNas, nas, 0x0034));
  };
  {
    TestHost host(emulator);
    const uint8_t nas = host.allocate(kNas);
    const Bytes permanent = joined({band_tlv(0x2F, 8, {78}), {0x17, 0x01, 0x00, 0x01}});
    const Bytes until_power_cycle = joined({band_tlv(0x15, 1, {2, 4}), {0x17, 0x01, 0x00, 0x00}});
    EXPECT_EQ(0, result_of(*host.ask(host.request(kNas, nas, 0x0033, permanent))).result);
    EXPECT_EQ(0, result_of(*host.ask(host.request(kNas, nas, 0x0033, until_power_cycle))).result);
    EXPECT_EQ(mask(1, {2, 4}), tlv_value(ask_preference(host, nas), 0x15));
    EXPECT_TRUE(host.sees_end_of_stream());
  }
  ASSERT_TRUE(emulator.wait_present(3000ms));
  TestHost host(emulator);
  host.receive();  // the Sync indication
  const uint8_t nas = host.allocate(kNas);
  const auto after = ask_preference(host, nas);
  EXPECT_EQ(mask(1, {1, 2, 3, 4, 5, 7, 8, 12, 13, 20, 25, 26, 28}), tlv_value(after, 0x15));
  EXPECT_EQ(mask(8, {78}), tlv_value(after, 0x2C));
  const auto kept = emulator.snapshot().selection_preference;
  EXPECT_TRUE(kept.contains(0x2F));
  EXPECT_FALSE(kept.contains(0x15));
}

// One allocation over a fresh host descriptor of the link.
uint8_t allocate_over(InProcessLink& link) {
  const int fd = link.open();
  EXPECT_GE(fd, 0);
  qmux::write_frame(fd, qmux::ctl::allocate_client_id_request(1, kNas));
  qmux::Reassembler r;
  std::optional<qmux::Frame> answer;
  while (!answer && qmux::read_into(fd, r) == qmux::ReadStatus::data) answer = r.next();
  close(fd);
  const auto id = answer ? qmux::ctl::parse_allocate_client_id_response(*answer) : std::nullopt;
  return id ? id->client_id : 0;
}

TEST(Presence, InProcessLinkServesEachOpenOfTheSameModem) {
  Emulator emulator(quick(default_scenario()));
  InProcessLink link(emulator);
  // The modem keeps its client ids while hosts come and go.
  for (uint8_t expected = 1; expected <= 3; ++expected) EXPECT_EQ(expected, allocate_over(link));
}

TEST(Presence, InProcessLinkRefusesWhileAbsent) {
  Emulator emulator(flapping(0, std::nullopt));
  InProcessLink link(emulator);
  EXPECT_EQ(-1, link.open());
  EXPECT_EQ(ENODEV, errno);
  EXPECT_FALSE(emulator.wait_present(50ms));
}

TEST(Presence, StopEndsServeAndWaits) {
  Emulator emulator(flapping(0, std::nullopt));
  std::thread stopper([&] {
    std::this_thread::sleep_for(50ms);
    emulator.stop();
  });
  EXPECT_FALSE(emulator.wait_present(10000ms));
  stopper.join();
  Emulator present(quick(default_scenario()));
  TestHost host(present);
  present.stop();
  EXPECT_EQ(ServeEnd::stopped, host.wait_end());
}

}  // namespace
}  // namespace vant::sim::testing
