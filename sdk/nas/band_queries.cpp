// The band capabilities (DMS 0x0045), the band and channel in use (NAS
// 0x0031), signal info (NAS 0x004F) and the NR5G TLVs of the cell location
// info (NAS 0x0043). Where a message has an older and a newer form of the
// same element (the LTE band mask beside the band list, the RF band list with
// 16-bit channels beside the extended one), the newer one wins whatever the
// order of the TLVs.
#include "sdk/core/request_engine.h"
#include "sdk/nas/band_messages.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

template <typename Record>
Record& record_of(ResponseContext* context) {
  return *static_cast<Record*>(context->output);
}

template <typename Record>
void zero(void* output) {
  *static_cast<Record*>(output) = {};
}

constexpr TlvEntry kNoRequestTlvs[] = {{kTlvEnd, nullptr}};

// ---- Band capabilities ----

uint32_t read_band_list(QmiCursor* c, uint16_t* count, uint16_t (&bands)[kBandListCapacity]) {
  uint16_t n = 0;
  if (const uint32_t s = get_u16(c, &n); s != 0) return s;
  if (n > kBandListCapacity) return kInvalidQmiResponse;
  for (uint16_t i = 0; i < n; ++i)
    if (const uint32_t s = get_u16(c, &bands[i]); s != 0) return s;
  *count = n;
  return 0;
}

uint32_t unpack_lte_capability_mask(QmiCursor* c, ResponseContext* context) {
  BandCapabilities& caps = record_of<BandCapabilities>(context);
  uint64_t mask = 0;
  if (const uint32_t s = get_u64(c, &mask); s != 0) return s;
  if (caps.lteReported != 0) return 0;  // the list came first
  caps.lteReported = 1;
  caps.lteCount = 0;
  for (uint16_t band = 1; band <= 64; ++band)
    if ((mask >> (band - 1)) & 1) caps.lte[caps.lteCount++] = band;
  return 0;
}

uint32_t unpack_lte_capability_list(QmiCursor* c, ResponseContext* context) {
  BandCapabilities& caps = record_of<BandCapabilities>(context);
  caps.lteReported = 1;
  return read_band_list(c, &caps.lteCount, caps.lte);
}

uint32_t unpack_nr_capability_list(QmiCursor* c, ResponseContext* context) {
  BandCapabilities& caps = record_of<BandCapabilities>(context);
  caps.nrReported = 1;
  return read_band_list(c, &caps.nrCount, caps.nr);
}

constexpr TlvEntry kCapabilitiesResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x10, &unpack_lte_capability_mask},
    {0x12, &unpack_lte_capability_list},
    {0x13, &unpack_nr_capability_list},
    {kTlvEnd, nullptr},
};

// ---- RF band information ----

template <bool kExtended>
uint32_t unpack_rf_list(QmiCursor* c, ResponseContext* context) {
  RfBandInfo& info = record_of<RfBandInfo>(context);
  if (!kExtended && info.count != 0) return 0;  // the extended list came first
  return read_counted_list(c, &info.count, info.bands, [](QmiCursor* cursor, ActiveBand& b) {
    if constexpr (kExtended) {
      return read_fields(cursor, &b.radioInterface, &b.activeBand, &b.channel);
    } else {
      uint16_t channel = 0;
      const uint32_t s = read_fields(cursor, &b.radioInterface, &b.activeBand, &channel);
      b.channel = channel;
      return s;
    }
  });
}

constexpr TlvEntry kRfBandResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x01, &unpack_rf_list<false>},
    {0x11, &unpack_rf_list<true>},
    {kTlvEnd, nullptr},
};

// ---- Signal info ----

uint32_t unpack_gsm_signal(QmiCursor* c, ResponseContext* context) {
  SignalInfo& s = record_of<SignalInfo>(context);
  s.gsmReported = 1;
  return read_fields(c, &s.gsmRssi);
}

uint32_t unpack_wcdma_signal(QmiCursor* c, ResponseContext* context) {
  SignalInfo& s = record_of<SignalInfo>(context);
  s.wcdmaReported = 1;
  return read_fields(c, &s.wcdmaRssi, &s.wcdmaEcio);
}

uint32_t unpack_lte_signal(QmiCursor* c, ResponseContext* context) {
  SignalInfo& s = record_of<SignalInfo>(context);
  s.lteReported = 1;
  return read_fields(c, &s.lteRssi, &s.lteRsrq, &s.lteRsrp, &s.lteSnr);
}

uint32_t unpack_nr_signal(QmiCursor* c, ResponseContext* context) {
  SignalInfo& s = record_of<SignalInfo>(context);
  s.nrReported = 1;
  return read_fields(c, &s.nrRsrp, &s.nrSnr);
}

uint32_t unpack_nr_rsrq(QmiCursor* c, ResponseContext* context) {
  SignalInfo& s = record_of<SignalInfo>(context);
  s.nrRsrqReported = 1;
  return read_fields(c, &s.nrRsrq);
}

constexpr TlvEntry kSignalResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x12, &unpack_gsm_signal},
    {0x13, &unpack_wcdma_signal},
    {0x14, &unpack_lte_signal},
    {0x17, &unpack_nr_signal},
    {0x18, &unpack_nr_rsrq},
    {kTlvEnd, nullptr},
};

// ---- NR5G cell ----

uint32_t unpack_nr_arfcn(QmiCursor* c, ResponseContext* context) {
  Nr5gCellInfo& n = record_of<Nr5gCellInfo>(context);
  n.arfcnReported = 1;
  return read_fields(c, &n.arfcn);
}

uint32_t unpack_nr_cell(QmiCursor* c, ResponseContext* context) {
  Nr5gCellInfo& n = record_of<Nr5gCellInfo>(context);
  uint8_t tac[3] = {};
  uint32_t s = read_fields(c, &n.plmn, &tac[0], &tac[1], &tac[2]);
  if (s == 0) s = read_fields(c, &n.globalCellId, &n.pci, &n.rsrq, &n.rsrp, &n.snr);
  if (s != 0) return s;
  n.tac = static_cast<uint32_t>(tac[0]) << 16 | static_cast<uint32_t>(tac[1]) << 8 | tac[2];
  n.cellReported = 1;
  return 0;
}

constexpr TlvEntry kNr5gCellResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x2E, &unpack_nr_arfcn},
    {0x2F, &unpack_nr_cell},
    {kTlvEnd, nullptr},
};

template <typename Record>
uint32_t query(uint8_t service, uint16_t message_id, TlvTable response, Record* record) {
  if (record == nullptr) return kInvalidArgument;
  return run_qmi_exchange({.service = service,
                           .messageId = message_id,
                           .timeoutMs = kBandTimeoutMs,
                           .request = kNoRequestTlvs,
                           .input = nullptr,
                           .response = response,
                           .output = record,
                           .preset = &zero<Record>});
}

}  // namespace

uint32_t unpack_get_band_capabilities(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kCapabilitiesResponse, kGetBandCapabilitiesId);
}
uint32_t unpack_get_rf_band_info(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kRfBandResponse, kGetRfBandInfoId);
}
uint32_t unpack_get_signal_info(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kSignalResponse, kGetSignalInfoId);
}
uint32_t unpack_get_nr5g_cell_info(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kNr5gCellResponse, kGetCellLocationInfoId);
}

}  // namespace vant::nas

uint32_t VANTDMSGetBandCapabilities(BandCapabilities* capabilities) {
  using namespace vant::nas;
  return query(kDmsService, kGetBandCapabilitiesId, kCapabilitiesResponse, capabilities);
}

uint32_t VANTNASGetRfBandInfo(RfBandInfo* info) {
  using namespace vant::nas;
  return query(kNasService, kGetRfBandInfoId, kRfBandResponse, info);
}

uint32_t VANTNASGetSignalInfo(SignalInfo* info) {
  using namespace vant::nas;
  return query(kNasService, kGetSignalInfoId, kSignalResponse, info);
}

uint32_t VANTNASGetNr5gCellInfo(Nr5gCellInfo* info) {
  using namespace vant::nas;
  return query(kNasService, kGetCellLocationInfoId, kNr5gCellResponse, info);
}
