// Reading and setting the channel lock: the WCDMA UARFCN, the LTE EARFCN pair
// and the LTE EARFCN plus PCI, one TLV each, the same in the set request and
// the get response.
#include "sdk/core/request_engine.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

const ChannelLock& lock_of(const void* input) {
  return *static_cast<const ChannelLock*>(input);
}
ChannelLock& lock_of(ResponseContext* context) {
  return *static_cast<ChannelLock*>(context->output);
}

uint32_t pack_wcdma_uarfcn(QmiCursor* c, const void* input) {
  const WcdmaUarfcnLock* e = lock_of(input).wcdmaUarfcn;
  return e == nullptr ? kSuccess : write_fields(c, e->status, e->uarfcn);
}

uint32_t pack_lte_earfcn(QmiCursor* c, const void* input) {
  const LteEarfcnLock* e = lock_of(input).lteEarfcn;
  return e == nullptr ? kSuccess : write_fields(c, e->status, e->earfcn0, e->earfcn1);
}

uint32_t pack_lte_pci(QmiCursor* c, const void* input) {
  const LtePciLock* e = lock_of(input).ltePci;
  return e == nullptr ? kSuccess : write_fields(c, e->status, e->earfcn, e->pci);
}

uint32_t unpack_wcdma_uarfcn(QmiCursor* c, ResponseContext* context) {
  WcdmaUarfcnLock* e = lock_of(context).wcdmaUarfcn;
  return e == nullptr ? kSuccess : read_fields(c, &e->status, &e->uarfcn);
}

uint32_t unpack_lte_earfcn(QmiCursor* c, ResponseContext* context) {
  LteEarfcnLock* e = lock_of(context).lteEarfcn;
  return e == nullptr ? kSuccess : read_fields(c, &e->status, &e->earfcn0, &e->earfcn1);
}

uint32_t unpack_lte_pci(QmiCursor* c, ResponseContext* context) {
  LtePciLock* e = lock_of(context).ltePci;
  return e == nullptr ? kSuccess : read_fields(c, &e->status, &e->earfcn, &e->pci);
}

constexpr TlvEntry kGetChannelLockRequest[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kGetChannelLockResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_wcdma_uarfcn}, {0x11, &unpack_lte_earfcn},
    {0x12, &unpack_lte_pci},    {kTlvEnd, nullptr},
};

constexpr TlvEntry kSetChannelLockRequest[] = {
    {0x10, &pack_wcdma_uarfcn},
    {0x11, &pack_lte_earfcn},
    {0x12, &pack_lte_pci},
    {kTlvEnd, nullptr},
};
constexpr TlvEntry kSetChannelLockResponse[] = {{0x02, &unpack_result_tlv}, {kTlvEnd, nullptr}};

constexpr uint8_t kNotReported8 = 0xFF;
constexpr uint32_t kNotReported32 = 0xFFFFFFFF;

}  // namespace

void preset_channel_lock(void* channel_lock) {
  const ChannelLock& lock = *static_cast<ChannelLock*>(channel_lock);
  if (lock.wcdmaUarfcn != nullptr) *lock.wcdmaUarfcn = {kNotReported8, kNotReported32};
  if (lock.lteEarfcn != nullptr) *lock.lteEarfcn = {kNotReported8, kNotReported32, kNotReported32};
  if (lock.ltePci != nullptr) *lock.ltePci = {kNotReported8, kNotReported32, kNotReported32};
}

uint32_t pack_get_channel_lock(uint16_t* out_length, uint8_t* buffer, const ChannelLock* input) {
  return pack_request(buffer, input, kGetChannelLockRequest, kGetChannelLockId, out_length);
}

uint32_t pack_set_channel_lock(uint16_t* out_length, uint8_t* buffer, const ChannelLock* input) {
  return pack_request(buffer, input, kSetChannelLockRequest, kSetChannelLockId, out_length);
}

uint32_t unpack_get_channel_lock(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kGetChannelLockResponse, kGetChannelLockId);
}

uint32_t unpack_set_channel_lock(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kSetChannelLockResponse, kSetChannelLockId);
}

}  // namespace vant::nas

uint32_t VANTNASKelGetChannelLock(ChannelLock* record) {
  using namespace vant::nas;
  if (record == nullptr) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kGetChannelLockId,
                           .timeoutMs = kChannelLockTimeoutMs,
                           .request = kGetChannelLockRequest,
                           .input = record,
                           .response = kGetChannelLockResponse,
                           .output = record,
                           .preset = &preset_channel_lock});
}

uint32_t VANTNASKelSetChannelLock(ChannelLock* record) {
  using namespace vant::nas;
  if (record == nullptr) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kSetChannelLockId,
                           .timeoutMs = kChannelLockTimeoutMs,
                           .request = kSetChannelLockRequest,
                           .input = record,
                           .response = kSetChannelLockResponse,
                           .output = record});
}
