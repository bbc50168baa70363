// The band preference: the band TLVs of Get System Selection Preference
// (0x0034) and Set System Selection Preference (0x0033). The two messages
// number the same masks differently: extended LTE 0x23 / 0x24, NR5G SA
// 0x2C / 0x2F, NR5G NSA 0x2D / 0x30; the LTE mask of bands 1 to 64 is 0x15 in
// both. A modem without the extended LTE mask is served through 0x15.
#include "sdk/core/request_engine.h"
#include "sdk/nas/band_messages.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

BandPreference& preference_of(ResponseContext* context) {
  return *static_cast<BandPreference*>(context->output);
}
const BandPreferenceChange& change_of(const void* input) {
  return *static_cast<const BandPreferenceChange*>(input);
}

template <size_t N>
uint32_t read_mask(QmiCursor* c, uint64_t (&words)[N]) {
  for (uint64_t& word : words)
    if (const uint32_t s = get_u64(c, &word); s != 0) return s;
  return 0;
}

template <size_t N>
uint32_t write_mask(QmiCursor* c, const uint64_t (&words)[N]) {
  for (uint64_t word : words)
    if (const uint32_t s = put_u64(c, word); s != 0) return s;
  return 0;
}

uint32_t unpack_mode(QmiCursor* c, ResponseContext* context) {
  BandPreference& p = preference_of(context);
  p.modeReported = 1;
  return get_u16(c, &p.modePreference);
}

// The mask of bands 1 to 64 counts only while no extended mask came.
uint32_t unpack_lte_mask(QmiCursor* c, ResponseContext* context) {
  BandPreference& p = preference_of(context);
  if (p.lteExtended != 0) return 0;
  p.lteReported = 1;
  p.lte = {};
  return get_u64(c, &p.lte.words[0]);
}

uint32_t unpack_extended_lte(QmiCursor* c, ResponseContext* context) {
  BandPreference& p = preference_of(context);
  p.lteReported = p.lteExtended = 1;
  return read_mask(c, p.lte.words);
}

uint32_t unpack_nr_sa(QmiCursor* c, ResponseContext* context) {
  BandPreference& p = preference_of(context);
  p.nrSaReported = 1;
  return read_mask(c, p.nrSa.words);
}

uint32_t unpack_nr_nsa(QmiCursor* c, ResponseContext* context) {
  BandPreference& p = preference_of(context);
  p.nrNsaReported = 1;
  return read_mask(c, p.nrNsa.words);
}

constexpr TlvEntry kGetRequest[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kGetResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x11, &unpack_mode},
    {0x15, &unpack_lte_mask},
    {0x23, &unpack_extended_lte},
    {0x2C, &unpack_nr_sa},
    {0x2D, &unpack_nr_nsa},
    {kTlvEnd, nullptr},
};

uint32_t pack_lte_mask(QmiCursor* c, const void* input) {
  const BandPreferenceChange& change = change_of(input);
  if (change.lte == nullptr || change.lteExtended != 0) return kSuccess;
  for (uint32_t w = 1; w < kLteBandWords; ++w)
    if (change.lte->words[w] != 0) return kInvalidArgument;  // beyond what 0x15 can say
  return put_u64(c, change.lte->words[0]);
}

uint32_t pack_duration(QmiCursor* c, const void* input) {
  return put_u8(c, change_of(input).changeDuration);
}

uint32_t pack_extended_lte(QmiCursor* c, const void* input) {
  const BandPreferenceChange& change = change_of(input);
  if (change.lte == nullptr || change.lteExtended == 0) return kSuccess;
  return write_mask(c, change.lte->words);
}

uint32_t pack_nr_sa(QmiCursor* c, const void* input) {
  const NrBandMask* mask = change_of(input).nrSa;
  return mask == nullptr ? kSuccess : write_mask(c, mask->words);
}

uint32_t pack_nr_nsa(QmiCursor* c, const void* input) {
  const NrBandMask* mask = change_of(input).nrNsa;
  return mask == nullptr ? kSuccess : write_mask(c, mask->words);
}

constexpr TlvEntry kSetRequest[] = {
    {0x15, &pack_lte_mask}, {0x17, &pack_duration}, {0x24, &pack_extended_lte},
    {0x2F, &pack_nr_sa},    {0x30, &pack_nr_nsa},   {kTlvEnd, nullptr},
};
constexpr TlvEntry kSetResponse[] = {{kResultTlvType, &unpack_result_tlv}, {kTlvEnd, nullptr}};

void preset_preference(void* output) {
  *static_cast<BandPreference*>(output) = {};
}

}  // namespace

uint32_t unpack_get_band_preference(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kGetResponse, kGetSelectionPreferenceId);
}

uint32_t pack_set_band_preference(uint16_t* out_length, uint8_t* buffer,
                                  const BandPreferenceChange* change) {
  return pack_request(buffer, change, kSetRequest, kSetSelectionPreferenceId, out_length);
}

}  // namespace vant::nas

uint32_t VANTNASGetBandPreference(BandPreference* preference) {
  using namespace vant::nas;
  if (preference == nullptr) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kGetSelectionPreferenceId,
                           .timeoutMs = kBandTimeoutMs,
                           .request = kGetRequest,
                           .input = nullptr,
                           .response = kGetResponse,
                           .output = preference,
                           .preset = &preset_preference});
}

uint32_t VANTNASSetBandPreference(const BandPreferenceChange* change) {
  using namespace vant::nas;
  if (change == nullptr) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kSetSelectionPreferenceId,
                           .timeoutMs = kBandTimeoutMs,
                           .request = kSetRequest,
                           .input = change,
                           .response = kSetResponse,
                           .output = nullptr});
}
