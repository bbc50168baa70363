// The system selection preference: up to 23 optional TLVs, each present
// exactly when the caller gave its pointer, packed in TLV order.
#include "sdk/core/request_engine.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

const SelectionPreferenceRequest& request_of(const void* input) {
  return *static_cast<const SelectionPreferenceRequest*>(input);
}

// A packer for a TLV that is one value of the member's own width.
template <auto Member>
uint32_t pack_main_value(QmiCursor* c, const void* input) {
  const auto* value = request_of(input).main->*Member;
  return value == nullptr ? kSuccess : write_fields(c, *value);
}

template <auto Member>
uint32_t pack_extra_value(QmiCursor* c, const void* input) {
  const auto* value = request_of(input).*Member;
  return value == nullptr ? kSuccess : write_fields(c, *value);
}

template <auto Member>
uint32_t pack_extra_values256(QmiCursor* c, const void* input) {
  const SelectionValues256* v = request_of(input).*Member;
  if (v == nullptr) return kSuccess;
  return write_fields(c, v->values[0], v->values[1], v->values[2], v->values[3]);
}

// A count byte, then that many elements. A list that claims elements but
// gives no storage for them is refused rather than read through null.
template <typename List>
uint32_t pack_counted(QmiCursor* c, const List* list) {
  if (list == nullptr) return kSuccess;
  if (list->count > 0 && list->values == nullptr) return kInvalidArgument;
  if (const uint32_t s = write_fields(c, list->count)) return s;
  for (size_t i = 0; i < list->count; ++i)
    if (const uint32_t s = write_fields(c, list->values[i])) return s;
  return kSuccess;
}

uint32_t pack_network_selection(QmiCursor* c, const void* input) {
  const NetworkSelection* s = request_of(input).main->networkSelection;
  return s == nullptr ? kSuccess : write_fields(c, s->mode, s->mcc, s->mnc);
}

uint32_t pack_pref1e(QmiCursor* c, const void* input) {
  return pack_counted(c, request_of(input).main->pref1E);
}

uint32_t pack_pref20(QmiCursor* c, const void* input) {
  const SelectionPreference20* p = request_of(input).main->pref20;
  if (p == nullptr) return kSuccess;
  return write_fields(c, p->value1, p->value2, p->value3, p->value4, p->value5);
}

uint32_t pack_ext2a(QmiCursor* c, const void* input) {
  return pack_counted(c, request_of(input).ext2A);
}

using SP = SelectionPreference;
using SPR = SelectionPreferenceRequest;

constexpr TlvEntry kSelectionPreferenceRequest[] = {
    {0x10, &pack_main_value<&SP::pref10>},
    {0x11, &pack_main_value<&SP::pref11>},
    {0x12, &pack_main_value<&SP::pref12>},
    {0x13, &pack_main_value<&SP::pref13>},
    {0x14, &pack_main_value<&SP::pref14>},
    {0x15, &pack_main_value<&SP::pref15>},
    {0x16, &pack_network_selection},
    {0x17, &pack_main_value<&SP::pref17>},
    {0x1A, &pack_main_value<&SP::pref1A>},
    {0x1B, &pack_main_value<&SP::pref1B>},
    {0x1C, &pack_main_value<&SP::pref1C>},
    {0x1D, &pack_main_value<&SP::pref1D>},
    {0x1E, &pack_pref1e},
    {0x1F, &pack_main_value<&SP::pref1F>},
    {0x20, &pack_pref20},
    {0x22, &pack_main_value<&SP::pref22>},
    {0x24, &pack_extra_values256<&SPR::ext24>},
    {0x26, &pack_extra_value<&SPR::ext26>},
    {0x27, &pack_extra_value<&SPR::ext27>},
    {0x28, &pack_extra_value<&SPR::ext28>},
    {0x29, &pack_extra_value<&SPR::ext29>},
    {0x2A, &pack_ext2a},
    {0x2B, &pack_extra_values256<&SPR::ext2B>},
    {kTlvEnd, nullptr},
};
constexpr TlvEntry kSelectionPreferenceResponse[] = {{0x02, &unpack_result_tlv},
                                                     {kTlvEnd, nullptr}};

// Whether the request gives anything to set. Every member counts, the four of
// TLVs 0x1D, 0x1E, 0x1F and 0x20 included: a request that sets only one of
// those is a real request, not an empty one.
bool has_any_preference(const SPR& r) {
  const SP& m = *r.main;
  const void* const members[] = {
      m.pref10, m.pref11, m.pref12, m.pref13, m.pref14, m.pref15, m.networkSelection,
      m.pref17, m.pref1A, m.pref1B, m.pref1C, m.pref1D, m.pref1E, m.pref1F,
      m.pref20, m.pref22, r.ext24,  r.ext26,  r.ext27,  r.ext28,  r.ext29,
      r.ext2A,  r.ext2B,
  };
  for (const void* member : members)
    if (member != nullptr) return true;
  return false;
}

}  // namespace

uint32_t pack_set_selection_preference(uint16_t* out_length, uint8_t* buffer,
                                       const SelectionPreferenceRequest* input) {
  return pack_request(buffer, input, kSelectionPreferenceRequest, kSetSelectionPreferenceId,
                      out_length);
}

uint32_t unpack_set_selection_preference(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kSelectionPreferenceResponse, kSetSelectionPreferenceId);
}

}  // namespace vant::nas

uint32_t VANTNASSetSelectionPreference(SelectionPreferenceRequest* request) {
  using namespace vant::nas;
  if (request == nullptr || request->main == nullptr) return vant::kInvalidArgument;
  if (!has_any_preference(*request)) return vant::kInvalidArgument;
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kSetSelectionPreferenceId,
                           .timeoutMs = kSelectionPreferenceTimeoutMs,
                           .request = kSelectionPreferenceRequest,
                           .input = request,
                           .response = kSelectionPreferenceResponse,
                           .output = nullptr});
}

uint32_t VANTNASSetNetworkPreference(SelectionPreference* main) {
  SelectionPreferenceRequest request{};
  request.main = main;
  return VANTNASSetSelectionPreference(&request);
}
