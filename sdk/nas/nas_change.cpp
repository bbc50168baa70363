#include "sdk/nas/nas_change.h"

#include "sdk/nas/nas_messages.h"
#include "vantsdk/change.h"

namespace vant::nas {

uint32_t begin_nas_change(const NasChange& c, const ChangeTerms& terms) {
  const ConfirmedChange confirmed{
      .apply = {kNasService, c.set_id, c.apply->data() + kPackedHeader, c.apply_length},
      .restore = {kNasService, c.set_id, c.restore->data() + kPackedHeader, c.restore_length},
      .readBack = {kNasService, c.get_id, nullptr, 0},
      .expected = c.expected,
      .expectedLength = c.expected_length,
      .revertAfterMs = terms.revert_after_ms,
      .label = terms.label,
      .previous = terms.previous_text,
  };
  return VANTChangeBegin(&confirmed, terms.change_id, terms.deadline_ms);
}

}  // namespace vant::nas
