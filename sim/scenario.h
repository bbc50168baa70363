// What an emulated modem is and how it behaves: the initial state (identity,
// cells of every technology, visible networks, channel locks, data sessions)
// and the behaviour (latency, injected errors, dropped or malformed answers,
// the modem disappearing and coming back). Plain data; loaded from JSON by
// scenario_json.h, or the realistic built-in default below.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vant::sim {

using Plmn = std::array<uint8_t, 3>;  // the three PLMN identity bytes as on the wire

struct Identity {
  std::string manufacturer = "Vant Wireless";
  std::string model = "VW-M2";
  std::string firmware_revision = "VW-M2_04.00.24";
  std::string imei = "356938035643809";
};

// ---- Cell location (one struct per response TLV, fields in wire order) ----

struct GeranNmrCell {
  uint32_t cell_id = 0;
  Plmn plmn{};
  uint16_t lac = 0, arfcn = 0;
  uint8_t bsic = 0;
  uint16_t rx_level = 0;
};
struct Geran {
  uint32_t cell_id = 0;
  Plmn plmn{};
  uint16_t lac = 0, arfcn = 0;
  uint8_t bsic = 0;
  uint32_t timing_advance = 0;
  uint16_t rx_level = 0;
  std::vector<GeranNmrCell> nmr;
};

struct UmtsInstance {
  uint16_t uarfcn = 0, psc = 0;
  int16_t rscp = 0, ecio = 0;
};
struct UmtsGeranInstance {
  uint16_t arfcn = 0;
  uint8_t bsic_ncc = 0, bsic_bcc = 0;
  int16_t rssi = 0;
};
struct Umts {
  uint16_t cell_id = 0;
  Plmn plmn{};
  uint16_t lac = 0, uarfcn = 0, psc = 0;
  int16_t rscp = 0, ecio = 0;
  std::vector<UmtsInstance> instances;
  std::vector<UmtsGeranInstance> geran_instances;
};

struct Cdma {
  uint16_t sid = 0, nid = 0, base_id = 0, ref_pn = 0;
  uint32_t base_latitude = 0, base_longitude = 0;
};

// A triangle wave added to each measurement of a cell: from the scenario's
// value it rises to value + amplitude a quarter period in, falls to value -
// amplitude at three quarters and is back after a whole period. Amplitudes
// are in the wire units of their fields.
struct Drift {
  uint32_t period_ms = 0;  // never 0 once read
  uint32_t phase_ms = 0;   // how far into its period the wave is when the emulator starts
  int16_t rsrq = 0, rsrp = 0, rssi = 0, srx_lev = 0;
  int16_t snr = 0;
  bool operator==(const Drift&) const = default;
};

// What a cell does once an LTE PCI lock to it is in force.
struct WhenLocked {
  uint32_t after_ms = 0;  // since the lock was set
  bool service = true;    // false: the modem loses LTE service
  // Otherwise the cell serves with these measurements (those given).
  std::optional<int16_t> rsrq, rsrp, rssi, srx_lev;
  std::optional<int16_t> snr = std::nullopt;
};

// The signal to interference and noise ratio of a cell that does not give
// one, in tenths of a dB (the signal info's unit): 10 dB.
inline constexpr int16_t kDefaultSnr = 100;

struct LteCell {
  uint16_t pci = 0;
  int16_t rsrq = 0, rsrp = 0, rssi = 0, srx_lev = 0;
  // Its own drift, instead of the common one; what it does once locked by PCI.
  std::optional<Drift> drift = std::nullopt;
  std::optional<WhenLocked> when_locked = std::nullopt;
  int16_t snr = kDefaultSnr;  // tenths of a dB; not part of the cell location answer
};
struct LteIntra {
  uint8_t ue_in_idle = 0;
  Plmn plmn{};
  uint16_t tac = 0;
  uint32_t global_cell_id = 0;
  uint16_t earfcn = 0, serving_cell_id = 0;
  uint8_t cell_resel_priority = 0, s_non_intra_search = 0, thresh_serving_low = 0,
          s_intra_search = 0;
  std::vector<LteCell> cells;
};
// What an LTE cell tells of one other technology's frequencies.
template <class Frequency>
struct LteNeighbours {
  uint8_t ue_in_idle = 0;
  std::vector<Frequency> frequencies;
};

struct LteInterFrequency {
  uint16_t earfcn = 0;
  uint8_t thresh_x_low = 0, thresh_x_high = 0, cell_resel_priority = 0;
  std::vector<LteCell> cells;
};
using LteInter = LteNeighbours<LteInterFrequency>;

struct LteGsmCell {
  uint16_t arfcn = 0;
  uint8_t band_1900 = 0, cell_id_valid = 0, bsic_id = 0;
  int16_t rssi = 0, srx_lev = 0;
};
struct LteGsmFrequency {
  uint8_t cell_resel_priority = 0, thresh_gsm_high = 0, thresh_gsm_low = 0, ncc_permitted = 0;
  std::vector<LteGsmCell> cells;
};
using LteGsm = LteNeighbours<LteGsmFrequency>;

struct LteWcdmaCell {
  uint16_t psc = 0;
  int16_t cpich_rscp = 0, cpich_ecno = 0, srx_lev = 0;
};
struct LteWcdmaFrequency {
  uint16_t uarfcn = 0;
  uint8_t cell_resel_priority = 0;
  uint16_t thresh_x_high = 0, thresh_x_low = 0;
  std::vector<LteWcdmaCell> cells;
};
using LteWcdma = LteNeighbours<LteWcdmaFrequency>;

struct WcdmaLteCell {
  uint16_t earfcn = 0, pci = 0;
  uint32_t rsrp = 0, rsrq = 0;  // the modem's 32-bit words, unchanged
  int16_t srx_lev = 0;
  uint8_t is_tdd = 0;
};
struct WcdmaLte {
  uint32_t rrc_state = 0;
  std::vector<WcdmaLteCell> cells;
};

// A 5G NR cell; measurements in tenths of a dB(m), as TLV 0x2F carries them.
struct NrCell {
  uint32_t arfcn = 0;  // NR-ARFCN
  uint16_t band = 0;   // NR band number (n78 is 78)
  uint64_t global_cell_id = 0;
  uint16_t pci = 0;
  int16_t rsrq = 0, rsrp = 0, snr = 0;
};
// The NR side of the modem: the NR leg of the LTE serving cell when the
// scenario has one (non-standalone), else the only serving cell (standalone).
struct Nr5g {
  Plmn plmn{};
  uint32_t tac = 0;           // 24 bits
  bool idle = false;          // non-standalone: the NR leg is not connected
  std::vector<NrCell> cells;  // the first serves; the others are where the modem may move
};

// An absent technology is absent from the cell location answer.
struct Cells {
  std::optional<Geran> geran;
  std::optional<Umts> umts;
  std::optional<Cdma> cdma;
  std::optional<LteIntra> lte_intra;
  std::optional<LteInter> lte_inter;
  std::optional<LteGsm> lte_gsm;
  std::optional<LteWcdma> lte_wcdma;
  std::optional<uint32_t> umts_cell_id;
  std::optional<WcdmaLte> wcdma_lte;
  std::optional<Nr5g> nr5g = std::nullopt;  // TLVs 0x2E and 0x2F
};

// ---- Network scan ----

// Values of the 2-bit fields of a scanned network's status byte.
inline constexpr uint8_t kServiceServing = 1;
inline constexpr uint8_t kServiceAvailable = 2;
inline constexpr uint8_t kRoamingHome = 1;
inline constexpr uint8_t kRoamingRoaming = 2;
inline constexpr uint8_t kRatUmts = 5;
inline constexpr uint8_t kRatLte = 8;

struct Network {
  uint16_t mcc = 0, mnc = 0;
  // The 2-bit fields of the status byte. Without a fixed service status the
  // emulator derives it from the registration (serving or available).
  std::optional<uint8_t> service;
  uint8_t roaming = kRoamingHome;
  uint8_t status45 = 0, status67 = 0;
  std::string description;
  uint8_t rat = kRatLte;
  uint8_t flag = 0;
};

struct PlmnFlag {  // one entry of the RAT list (0x11) or the flag list (0x12)
  uint16_t mcc = 0, mnc = 0;
  uint8_t value = 0;
};

struct ScanCellPlmn {
  uint16_t mcc = 0, mnc = 0;
  uint8_t flag = 0;
};
struct ScanCellEntry {
  uint32_t value1 = 0;
  uint16_t value2 = 0;
  uint32_t value3 = 0;
  std::vector<ScanCellPlmn> plmns;
};
struct ScanCellReport {  // TLV 0x17
  std::vector<ScanCellEntry> entries;
  std::array<uint16_t, 6> trailer{};
};
struct ScanValue {  // one triple of TLV 0x18
  uint16_t x = 0, y = 0;
  uint32_t z = 0;
};

struct Scan {
  uint32_t duration_ms = 2000;
  std::optional<uint32_t> result = 0;  // TLV 0x13; absent when empty
  // Which of the three lists the answer carries.
  bool send_networks = true, send_rats = true, send_flags = true;
  // Lists that differ from what the networks imply (for modems that send
  // lists of different lengths); empty optional = derived from networks.
  std::optional<std::vector<PlmnFlag>> rats, flags;
  std::optional<ScanCellReport> cell_report;
  std::optional<std::vector<ScanValue>> value_list;
};

// ---- Channel locks (values as in the lock messages) ----

struct WcdmaLock {
  uint8_t status = 0;
  uint32_t uarfcn = 0;
  bool operator==(const WcdmaLock&) const = default;
};
struct LteEarfcnLock {
  uint8_t status = 0;
  uint32_t earfcn0 = 0, earfcn1 = 0;
  bool operator==(const LteEarfcnLock&) const = default;
};
struct LtePciLock {
  uint8_t status = 0;
  uint32_t earfcn = 0, pci = 0;
  bool operator==(const LtePciLock&) const = default;
};
struct Locks {
  WcdmaLock wcdma;
  LteEarfcnLock lte_earfcn;
  LtePciLock lte_pci;
  bool operator==(const Locks&) const = default;
};

struct Session {  // the data sessions of one packet-data instance (0 = none)
  uint32_t ipv4 = 0, ipv6 = 0;
};
inline constexpr size_t kDataInstances = 8;

// ---- Behaviour ----

enum class Malformation : uint8_t {
  none,
  bad_frame,     // a QMUX frame whose length lies: the host must drop it
  no_result,     // a valid frame whose message lacks the result TLV
  short_value,   // the last TLV's value cut short (its length still consistent)
  noise_before,  // stray bytes, marker included, ahead of a valid answer
};

// How the modem treats one message (or every message, as the default).
struct MessageRule {
  std::optional<uint32_t> latency_ms;
  uint16_t qmi_error = 0;    // 0 = answer normally
  bool keep_tlvs = false;    // an injected error still carries the usual TLVs
  bool only_result = false;  // the answer carries its result TLV and nothing else
  bool drop = false;         // never answer
  Malformation malformed = Malformation::none;
  std::optional<uint32_t> count;  // apply to the first N requests only
};

struct Outage {
  uint32_t at_ms = 0;              // since the emulator started
  std::optional<uint32_t> for_ms;  // absent: the modem never comes back
};

struct Behaviour {
  uint32_t latency_ms = 5;
  std::optional<Drift> drift;                // of every LTE cell without its own
  std::map<std::string, MessageRule> rules;  // by message name, "*" for all
  std::vector<Outage> outages;
  uint32_t repeat_every_ms = 0;  // the outage pattern repeats with this period
  uint8_t client_ids_per_service = 10;
};

// ---- Bands ----

// What the modem can use and, at the start, may use. Band numbers; no LTE
// (or NR) bands at all means the modem names none and bands play no part in
// what it hears of that kind.
struct BandPreferences {
  std::optional<std::vector<uint16_t>> lte, nr_sa, nr_nsa;  // absent: every supported band
  bool operator==(const BandPreferences&) const = default;
};
struct Bands {
  uint64_t legacy = 0;            // band capability of GSM, WCDMA and CDMA (DMS TLV 0x01)
  std::vector<uint16_t> lte, nr;  // supported, in ascending order
  bool extended_lte = true;       // the selection preference answers TLV 0x23
  BandPreferences preference;
  bool operator==(const Bands&) const = default;
};

struct Scenario {
  std::string name = "default";
  std::string description;
  Identity identity;
  Cells cells;
  Bands bands;
  std::vector<Network> networks;
  // The network the modem is registered on (by MCC and MNC), if any.
  std::optional<std::pair<uint16_t, uint16_t>> registered;
  Scan scan;
  Locks locks;
  std::array<Session, kDataInstances> sessions{};
  Behaviour behaviour;
};

// The realistic modem used when no scenario is given.
Scenario default_scenario();

}  // namespace vant::sim
