// The band preference as a change the daemon undoes unless it is confirmed:
// the set request carries the change, a set request of the kinds the modem
// reported before restores them, and the get request reads them back, under
// the get message's own TLV numbers.
#include "sdk/nas/band_messages.h"
#include "sdk/nas/nas_change.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/change.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

constexpr uint8_t kGetLteMask = 0x15, kGetExtendedLte = 0x23, kGetNrSa = 0x2C, kGetNrNsa = 0x2D;

template <size_t N>
uint32_t put_mask_tlv(QmiCursor* c, uint8_t type, const uint64_t (&words)[N], size_t count) {
  uint32_t r = put_u8(c, type);
  if (r == 0) r = put_u16(c, static_cast<uint16_t>(8 * count));
  for (size_t i = 0; i < count && r == 0; ++i) r = put_u64(c, words[i]);
  return r;
}

// What the get answer shows once the previous preference is back.
uint32_t expected_from(const BandPreference& p, PackedMessage& out, uint16_t* length) {
  QmiCursor c{static_cast<uint16_t>(out.size()), 0, out.data()};
  uint32_t r = 0;
  if (p.lteReported != 0)
    r = p.lteExtended != 0 ? put_mask_tlv(&c, kGetExtendedLte, p.lte.words, kLteBandWords)
                           : put_mask_tlv(&c, kGetLteMask, p.lte.words, 1);
  if (r == 0 && p.nrSaReported != 0) r = put_mask_tlv(&c, kGetNrSa, p.nrSa.words, kNrBandWords);
  if (r == 0 && p.nrNsaReported != 0) r = put_mask_tlv(&c, kGetNrNsa, p.nrNsa.words, kNrBandWords);
  *length = c.index;
  return r;
}

bool reports_what_changes(const BandPreferenceChange& change, const BandPreference& previous) {
  return (change.lte == nullptr || previous.lteReported != 0) &&
         (change.nrSa == nullptr || previous.nrSaReported != 0) &&
         (change.nrNsa == nullptr || previous.nrNsaReported != 0);
}

}  // namespace
}  // namespace vant::nas

uint32_t VANTNASSetBandPreferenceConfirmed(const BandPreferenceChange* change,
                                           const BandPreference* previous, uint32_t revertAfterMs,
                                           const char* label, const char* previousText,
                                           uint32_t* changeId, uint64_t* deadlineMs) {
  using namespace vant::nas;
  if (change == nullptr || previous == nullptr || !reports_what_changes(*change, *previous))
    return vant::kInvalidArgument;
  const BandPreferenceChange restore{
      .lte = previous->lteReported != 0 ? &previous->lte : nullptr,
      .lteExtended = previous->lteExtended,
      .nrSa = previous->nrSaReported != 0 ? &previous->nrSa : nullptr,
      .nrNsa = previous->nrNsaReported != 0 ? &previous->nrNsa : nullptr,
      .changeDuration = change->changeDuration,
  };
  PackedMessage apply{}, back{}, expected{};
  uint16_t apply_length = 0, back_length = 0, expected_length = 0;
  uint32_t r = pack_set_band_preference(&apply_length, apply.data(), change);
  if (r == 0) r = pack_set_band_preference(&back_length, back.data(), &restore);
  if (r == 0) r = expected_from(*previous, expected, &expected_length);
  if (r != 0) return r;
  return begin_nas_change({kSetSelectionPreferenceId, kGetSelectionPreferenceId, &apply,
                           apply_length, &back, back_length, expected.data(), expected_length},
                          {revertAfterMs, label, previousText, changeId, deadlineMs});
}
