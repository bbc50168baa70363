// Network-access (NAS) requests of the client library: the network scan,
// registration and system selection preference, the channel lock, and the
// cell location report.
//
// Every record belongs to the caller. An element that may be left out is a
// pointer: null means "not sent" in a request and "not wanted" in a response.
// Before a response is decoded, every wanted element is preset to values that
// mean "not reported" (all ones in identifiers and measurements, 0 in counts),
// so a TLV missing from the response shows as those values.
#pragma once

#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

// ---------------------------------------------------------------------------
// Channel lock
// ---------------------------------------------------------------------------

// status: 1 = lock on this channel, 0 = no lock; 0xFF after a read means the
// modem did not report this element.
struct WcdmaUarfcnLock {
  uint8_t status;
  uint32_t uarfcn;
};

struct LteEarfcnLock {
  uint8_t status;
  uint32_t earfcn0;  // primary EARFCN
  uint32_t earfcn1;  // secondary EARFCN
};

struct LtePciLock {
  uint8_t status;
  uint32_t earfcn;
  uint32_t pci;  // physical cell identity
};

struct ChannelLock {
  WcdmaUarfcnLock* wcdmaUarfcn;
  LteEarfcnLock* lteEarfcn;
  LtePciLock* ltePci;
};

// Reads the lock settings of the members that are non-null.
uint32_t VANTNASKelGetChannelLock(ChannelLock* record);
// Sends the members that are non-null (all null sends a request without TLVs).
uint32_t VANTNASKelSetChannelLock(ChannelLock* record);

// ---------------------------------------------------------------------------
// Cell location
// ---------------------------------------------------------------------------

// Every list holds up to 255 entries, the most a one-byte count can say, so a
// count received from the modem never exceeds its array.
inline constexpr int kCellListCapacity = 255;

struct GeranNmrCell {
  uint32_t cellId;
  uint8_t plmn[3];
  uint16_t lac;
  uint16_t arfcn;
  uint8_t bsic;
  uint16_t rxLevel;
};

struct GeranInfo {
  uint32_t cellId;
  uint8_t plmn[3];
  uint16_t lac;
  uint16_t arfcn;
  uint8_t bsic;
  uint32_t timingAdvance;
  uint16_t rxLevel;
  uint8_t nmrCount;
  GeranNmrCell nmrCells[kCellListCapacity];
};

struct UmtsInstance {
  uint16_t uarfcn;
  uint16_t psc;
  int16_t rscp;
  int16_t ecio;
};

struct UmtsGeranInstance {
  uint16_t arfcn;
  uint8_t bsicNcc;
  uint8_t bsicBcc;
  int16_t rssi;
};

struct UmtsInfo {
  uint16_t cellId;
  uint8_t plmn[3];
  uint16_t lac;
  uint16_t uarfcn;
  uint16_t psc;
  int16_t rscp;
  int16_t ecio;
  uint8_t umtsInstanceCount;
  UmtsInstance umtsInstances[kCellListCapacity];
  uint8_t geranInstanceCount;
  UmtsGeranInstance geranInstances[kCellListCapacity];
};

struct CdmaInfo {
  uint16_t sid;
  uint16_t nid;
  uint16_t baseId;
  uint16_t refPn;
  uint32_t baseLatitude;
  uint32_t baseLongitude;
};

struct LteCell {
  uint16_t pci;
  int16_t rsrq;
  int16_t rsrp;
  int16_t rssi;
  int16_t srxLev;
};

struct LteIntraFreqInfo {
  uint8_t ueInIdle;
  uint8_t plmn[3];
  uint16_t tac;
  uint32_t globalCellId;
  uint16_t earfcn;
  uint16_t servingCellId;
  uint8_t cellReselPriority;
  uint8_t sNonIntraSearch;
  uint8_t threshServingLow;
  uint8_t sIntraSearch;
  uint8_t cellCount;
  LteCell cells[kCellListCapacity];
};

struct LteInterFrequency {
  uint16_t earfcn;
  uint8_t threshXLow;
  uint8_t threshXHigh;
  uint8_t cellReselPriority;
  uint8_t cellCount;
  LteCell cells[kCellListCapacity];
};

struct LteInterFreqInfo {
  uint8_t ueInIdle;
  uint8_t frequencyCount;
  LteInterFrequency frequencies[kCellListCapacity];
};

struct LteGsmCell {
  uint16_t arfcn;
  uint8_t band1900;
  uint8_t cellIdValid;
  uint8_t bsicId;
  int16_t rssi;
  int16_t srxLev;
};

struct LteGsmFrequency {
  uint8_t cellReselPriority;
  uint8_t threshGsmHigh;
  uint8_t threshGsmLow;
  uint8_t nccPermitted;
  uint8_t cellCount;
  LteGsmCell cells[kCellListCapacity];
};

struct LteGsmNeighbourInfo {
  uint8_t ueInIdle;
  uint8_t frequencyCount;
  LteGsmFrequency frequencies[kCellListCapacity];
};

struct LteWcdmaCell {
  uint16_t psc;
  int16_t cpichRscp;
  int16_t cpichEcno;
  int16_t srxLev;
};

// Unlike LteInterFrequency, the thresholds are 16 bits wide and the high one
// comes first, as on the wire.
struct LteWcdmaFrequency {
  uint16_t uarfcn;
  uint8_t cellReselPriority;
  uint16_t threshXHigh;
  uint16_t threshXLow;
  uint8_t cellCount;
  LteWcdmaCell cells[kCellListCapacity];
};

struct LteWcdmaNeighbourInfo {
  uint8_t ueInIdle;
  uint8_t frequencyCount;
  LteWcdmaFrequency frequencies[kCellListCapacity];
};

// rsrp and rsrq hold the four wire bytes of each value unchanged.
struct WcdmaLteCell {
  uint16_t earfcn;
  uint16_t pci;
  uint32_t rsrp;
  uint32_t rsrq;
  int16_t srxLev;
  uint8_t isTdd;
};

struct WcdmaLteNeighbourInfo {
  uint32_t rrcState;
  uint8_t cellCount;
  WcdmaLteCell cells[kCellListCapacity];
};

// One pointer per technology; a null member is not wanted.
struct CellLocationInfo {
  GeranInfo* geran;
  UmtsInfo* umts;
  CdmaInfo* cdma;
  LteIntraFreqInfo* lteIntra;
  LteInterFreqInfo* lteInter;
  LteGsmNeighbourInfo* lteGsm;
  LteWcdmaNeighbourInfo* lteWcdma;
  uint32_t* umtsCellId;
  WcdmaLteNeighbourInfo* wcdmaLte;
};

// Fills the records of the non-null members. The PLMN bytes and the list
// entries are not preset: only a reported TLV writes them.
uint32_t VANTNASGetCellLocationInfo(CellLocationInfo* info);

// ---------------------------------------------------------------------------
// Network scan
// ---------------------------------------------------------------------------

inline constexpr int kScanListCapacity = 255;

struct ScannedNetwork {
  uint16_t mcc;
  uint16_t mnc;
  uint32_t serviceStatus;  // 0 unknown, 1 serving, 2 available but not serving
  uint32_t roamingStatus;  // 0 unknown, 1 home, 2 roaming
  uint32_t status45;       // bits 4-5 of the status byte
  uint32_t status67;       // bits 6-7 of the status byte
  char description[256];   // zero-terminated, at most 255 characters
};

struct NetworkRat {
  uint16_t mcc;
  uint16_t mnc;
  uint8_t rat;
};

struct NetworkFlag {
  uint16_t mcc;
  uint16_t mnc;
  uint8_t flag;
};

struct ScanPlmn {
  uint16_t mcc;
  uint16_t mnc;
  uint8_t flag;
};

struct ScanCellEntry {
  uint32_t cellValue1;
  uint16_t cellValue2;
  uint32_t cellValue3;
  uint8_t plmnCount;
  ScanPlmn plmns[kScanListCapacity];
};

struct ScanCellReport {
  uint8_t entryCount;
  ScanCellEntry entries[kScanListCapacity];
  uint16_t trailing[6];  // the six values after the entries, in wire order
};

struct ScanValueList {
  uint8_t count;
  uint16_t x[kScanListCapacity];
  uint16_t y[kScanListCapacity];
  uint32_t z[kScanListCapacity];
  uint8_t valid;  // 1 once the list was stored
};

// The three lists take a capacity in their count on entry and hold the number
// received on return; a list the response does not carry comes back with 0.
struct NetworkScanResult {
  uint8_t* networkCount;
  ScannedNetwork* networks;
  uint8_t* ratCount;
  NetworkRat* rats;
  uint8_t* flagCount;
  NetworkFlag* flags;
  uint32_t* scanResult;        // may be null; 0 means the scan completed
  ScanCellReport* cellReport;  // may be null
  uint8_t cellReportValid;     // 1 once the cell report was stored completely
  ScanValueList* valueList;    // may be null
};

// Scans for visible networks; takes up to five minutes.
uint32_t VANTNASScanNetworks(NetworkScanResult* result);

// ---------------------------------------------------------------------------
// Registration and system selection preference
// ---------------------------------------------------------------------------

// action 1 registers without naming a network; any other action registers on
// the network mcc/mnc with the radio access technology rat.
uint32_t VANTNASRegisterNetwork(uint32_t action, uint16_t mcc, uint16_t mnc, uint32_t rat);

struct NetworkSelection {
  uint8_t mode;
  uint16_t mcc;
  uint16_t mnc;
};

// A count-prefixed list of bytes (TLV 0x1E); values may be null only when
// count is 0.
struct SelectionByteList {
  uint8_t count;
  const uint8_t* values;
};

// A count-prefixed list of 32-bit words (TLV 0x2A); values may be null only
// when count is 0.
struct SelectionWordList {
  uint8_t count;
  const uint32_t* values;
};

// The five values of TLV 0x20, widths 2, 2, 1, 4, 1 bytes.
struct SelectionPreference20 {
  uint16_t value1;
  uint16_t value2;
  uint8_t value3;
  uint32_t value4;
  uint8_t value5;
};

// Four 64-bit values (TLVs 0x24 and 0x2B).
struct SelectionValues256 {
  uint64_t values[4];
};

// One optional pointer per TLV, in TLV order 0x10 to 0x22.
struct SelectionPreference {
  const uint8_t* pref10;
  const uint16_t* pref11;
  const uint64_t* pref12;
  const uint16_t* pref13;
  const uint16_t* pref14;
  const uint64_t* pref15;
  const NetworkSelection* networkSelection;  // 0x16
  const uint8_t* pref17;
  const uint8_t* pref1A;
  const uint32_t* pref1B;
  const uint32_t* pref1C;
  const uint64_t* pref1D;
  const SelectionByteList* pref1E;
  const uint32_t* pref1F;
  const SelectionPreference20* pref20;
  const uint8_t* pref22;
};

struct SelectionPreferenceRequest {
  const SelectionPreference* main;  // required
  const SelectionValues256* ext24;
  const uint64_t* ext26;
  const uint64_t* ext27;
  const uint64_t* ext28;
  const uint32_t* ext29;
  const SelectionWordList* ext2A;
  const SelectionValues256* ext2B;
};

// Sends the given preferences; a request that gives none is refused with 4.
uint32_t VANTNASSetSelectionPreference(SelectionPreferenceRequest* request);
// The same with main only.
uint32_t VANTNASSetNetworkPreference(SelectionPreference* main);

#pragma GCC visibility pop
