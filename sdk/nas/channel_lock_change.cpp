// The channel lock as a change the daemon undoes unless it is confirmed: the
// set request carries the change, a set request of all three kinds as they
// were restores it, and the get request reads it back. The get answer has
// the set request's TLVs; a kind that was off is compared by its status alone,
// since a modem may report any channel values beside a lock that is off.
#include "sdk/nas/nas_change.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/change.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

constexpr uint8_t kUnlocked = 0;
constexpr uint8_t kLocked = 1;

bool reported(const ChannelLock& lock) {
  const auto ok = [](uint8_t s) { return s == kLocked || s == kUnlocked; };
  return lock.wcdmaUarfcn != nullptr && lock.lteEarfcn != nullptr && lock.ltePci != nullptr &&
         ok(lock.wcdmaUarfcn->status) && ok(lock.lteEarfcn->status) && ok(lock.ltePci->status);
}

// The restore's TLVs with each unlocked kind cut to its status byte.
uint32_t expected_from(const uint8_t* tlvs, uint16_t length, PackedMessage& out,
                       uint16_t* out_length) {
  QmiCursor in{length, 0, const_cast<uint8_t*>(tlvs)};
  QmiCursor to{static_cast<uint16_t>(out.size()), 0, out.data()};
  while (in.index < in.size) {
    uint8_t type = 0, status = 0;
    uint16_t size = 0;
    if (const uint32_t r = get_u8(&in, &type); r != 0) return r;
    if (const uint32_t r = get_u16(&in, &size); r != 0) return r;
    const uint16_t start = in.index;
    if (const uint32_t r = get_u8(&in, &status); r != 0) return r;
    const uint16_t kept = status == kLocked ? size : 1;
    in.index = start;
    uint32_t r = put_u8(&to, type);
    if (r == 0) r = put_u16(&to, kept);
    if (r == 0) r = put_bytes(&to, tlvs + start, kept);
    if (r == 0) r = skip(&in, size);
    if (r != 0) return r;
  }
  *out_length = to.index;
  return kSuccess;
}

}  // namespace
}  // namespace vant::nas

uint32_t VANTNASKelSetChannelLockConfirmed(const ChannelLock* change, const ChannelLock* previous,
                                           uint32_t revertAfterMs, const char* label,
                                           const char* previousText, uint32_t* changeId,
                                           uint64_t* deadlineMs) {
  using namespace vant::nas;
  if (change == nullptr || previous == nullptr || !reported(*previous))
    return vant::kInvalidArgument;
  PackedMessage apply{}, restore{}, expected{};
  uint16_t apply_length = 0, restore_length = 0, expected_length = 0;
  uint32_t r = pack_set_channel_lock(&apply_length, apply.data(), change);
  if (r == 0) r = pack_set_channel_lock(&restore_length, restore.data(), previous);
  if (r == 0)
    r = expected_from(restore.data() + kPackedHeader, restore_length, expected, &expected_length);
  if (r != 0) return r;
  return begin_nas_change({kSetChannelLockId, kGetChannelLockId, &apply, apply_length, &restore,
                           restore_length, expected.data(), expected_length},
                          {revertAfterMs, label, previousText, changeId, deadlineMs});
}
