// Bands and 5G: the LTE and NR5G band preferences (read, set, and set as a
// change the daemon undoes unless it is confirmed), the bands the modem
// supports, the band and channel in use, signal quality per technology, and
// the NR5G serving cell of the cell location report.
//
// Every record belongs to the caller. An element the modem did not send has
// its `...Reported` byte 0; then its values are 0.
#pragma once

#include <cstdint>

// What this header declares is the library's interface: the shared library
// exports it and hides everything else.
#pragma GCC visibility push(default)

// Band masks: bit (n - 1) % 64 of word (n - 1) / 64 is band n.
inline constexpr uint32_t kLteBandWords = 4;  // LTE bands 1 to 256
inline constexpr uint32_t kNrBandWords = 8;   // NR bands 1 to 512

struct LteBandMask {
  uint64_t words[kLteBandWords];
};

struct NrBandMask {
  uint64_t words[kNrBandWords];
};

// ---------------------------------------------------------------------------
// Band preference (system selection preference, NAS 0x0033 / 0x0034)
// ---------------------------------------------------------------------------

struct BandPreference {
  uint8_t modeReported;
  uint16_t modePreference;  // GSM 1 << 2, UMTS 1 << 3, LTE 1 << 4, NR5G 1 << 6
  uint8_t lteReported;
  uint8_t lteExtended;  // 1: from the extended mask (bands 1 to 256); 0: bands 1 to 64 only
  LteBandMask lte;
  uint8_t nrSaReported;
  NrBandMask nrSa;
  uint8_t nrNsaReported;
  NrBandMask nrNsa;
};

// The modem's mode and band preferences.
uint32_t VANTNASGetBandPreference(BandPreference* preference);

inline constexpr uint8_t kBandChangeUntilPowerCycle = 0;
inline constexpr uint8_t kBandChangePermanent = 1;

// Each non-null mask is sent. The LTE mask goes as the extended mask when
// lteExtended is 1, else as the mask of bands 1 to 64 (4 when it holds a
// higher band).
struct BandPreferenceChange {
  const LteBandMask* lte;
  uint8_t lteExtended;
  const NrBandMask* nrSa;
  const NrBandMask* nrNsa;
  uint8_t changeDuration;  // kBandChangeUntilPowerCycle or kBandChangePermanent
};

uint32_t VANTNASSetBandPreference(const BandPreferenceChange* change);

// The change as one the daemon undoes unless it is confirmed (vantsdk/change.h):
// it restores every kind `previous` reports, and reads the preference back.
// 4 for a null argument, or a previous preference that reports no kind the
// change sends.
uint32_t VANTNASSetBandPreferenceConfirmed(const BandPreferenceChange* change,
                                           const BandPreference* previous, uint32_t revertAfterMs,
                                           const char* label, const char* previousText,
                                           uint32_t* changeId, uint64_t* deadlineMs);

// ---------------------------------------------------------------------------
// Band capabilities (device management, DMS 0x0045)
// ---------------------------------------------------------------------------

inline constexpr uint32_t kBandListCapacity = 512;

struct BandCapabilities {
  uint8_t lteReported;
  uint16_t lteCount;  // from the extended list, else from the mask of bands 1 to 64
  uint16_t lte[kBandListCapacity];
  uint8_t nrReported;
  uint16_t nrCount;
  uint16_t nr[kBandListCapacity];
};

// 17 when the modem lists more bands than the record holds.
uint32_t VANTDMSGetBandCapabilities(BandCapabilities* capabilities);

// ---------------------------------------------------------------------------
// RF band information (NAS 0x0031): the band and channel in use
// ---------------------------------------------------------------------------

inline constexpr uint8_t kRadioInterfaceGsm = 0x04;
inline constexpr uint8_t kRadioInterfaceUmts = 0x05;
inline constexpr uint8_t kRadioInterfaceLte = 0x08;
inline constexpr uint8_t kRadioInterfaceNr5g = 0x0C;

struct ActiveBand {
  uint8_t radioInterface;
  uint16_t activeBand;  // the modem's band enumeration (see VANTNASBandNumber)
  uint32_t channel;     // EARFCN, NR-ARFCN, UARFCN or ARFCN
};

struct RfBandInfo {
  uint8_t count;  // from the extended list (32-bit channels), else the older one
  ActiveBand bands[255];
};

uint32_t VANTNASGetRfBandInfo(RfBandInfo* info);

// The 3GPP band number of an LTE (E-UTRA) or NR5G band of the modem's band
// enumeration, for the radio interface it belongs to; 0 when it names none.
uint16_t VANTNASBandNumber(uint8_t radioInterface, uint16_t activeBand);

// ---------------------------------------------------------------------------
// Signal info (NAS 0x004F)
// ---------------------------------------------------------------------------

// NR5G values of -32768: not connected (an NSA modem's idle NR leg).
inline constexpr int16_t kSignalNotConnected = -32768;

struct SignalInfo {
  uint8_t gsmReported;
  int8_t gsmRssi;  // dBm
  uint8_t wcdmaReported;
  int8_t wcdmaRssi;   // dBm
  int16_t wcdmaEcio;  // as sent: Ec/Io is -0.5 dB times this
  uint8_t lteReported;
  int8_t lteRssi;   // dBm
  int8_t lteRsrq;   // dB
  int16_t lteRsrp;  // dBm
  int16_t lteSnr;   // tenths of a dB
  uint8_t nrReported;
  int16_t nrRsrp;  // dBm
  int16_t nrSnr;   // tenths of a dB
  uint8_t nrRsrqReported;
  int16_t nrRsrq;  // dB
};

uint32_t VANTNASGetSignalInfo(SignalInfo* info);

// ---------------------------------------------------------------------------
// The NR5G serving cell of the cell location report (NAS 0x0043)
// ---------------------------------------------------------------------------

struct Nr5gCellInfo {
  uint8_t arfcnReported;
  uint32_t arfcn;  // NR-ARFCN
  uint8_t cellReported;
  uint8_t plmn[3];  // as sent (BCD)
  uint32_t tac;     // 24 bits
  uint64_t globalCellId;
  uint16_t pci;
  int16_t rsrq;  // tenths of a dB
  int16_t rsrp;  // tenths of a dBm
  int16_t snr;   // tenths of a dB
};

// The same request as VANTNASGetCellLocationInfo, reading only its NR5G TLVs.
uint32_t VANTNASGetNr5gCellInfo(Nr5gCellInfo* info);

#pragma GCC visibility pop
