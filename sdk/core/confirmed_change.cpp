// Requests of the daemon's change service (0xF8): begin, confirm, revert and
// the pending change.
#include <algorithm>
#include <cstring>

#include "sdk/core/request_engine.h"
#include "vantsdk/change.h"
#include "vantsdk/result_codes.h"

namespace {

constexpr uint16_t kBegin = 0x0001;
constexpr uint16_t kConfirm = 0x0002;
constexpr uint16_t kRevert = 0x0003;
constexpr uint16_t kPending = 0x0004;
// The daemon waits up to 5 s for each request it sends the modem: one for a
// begin, a restore and its read-back for a revert.
constexpr uint32_t kBeginTimeoutMs = 8000;
constexpr uint32_t kRevertTimeoutMs = 13000;
constexpr uint32_t kQuickTimeoutMs = 3000;

const ConfirmedChange& change_of(const void* input) {
  return *static_cast<const ConfirmedChange*>(input);
}

uint32_t pack_message(QmiCursor* c, const QmiMessage& m) {
  if (m.tlvs == nullptr && m.tlvLength != 0) return vant::kInvalidArgument;
  if (const uint32_t r = put_u8(c, m.service); r != 0) return r;
  if (const uint32_t r = put_u16(c, m.messageId); r != 0) return r;
  return m.tlvLength == 0 ? vant::kSuccess : put_bytes(c, m.tlvs, m.tlvLength);
}

uint32_t pack_text(QmiCursor* c, const char* text) {
  if (text == nullptr || *text == '\0') return vant::kSuccess;
  return put_bytes(c, reinterpret_cast<const uint8_t*>(text),
                   static_cast<uint32_t>(std::strlen(text)));
}

uint32_t pack_apply(QmiCursor* c, const void* in) {
  return pack_message(c, change_of(in).apply);
}
uint32_t pack_restore(QmiCursor* c, const void* in) {
  return pack_message(c, change_of(in).restore);
}
uint32_t pack_read_back(QmiCursor* c, const void* in) {
  return pack_message(c, change_of(in).readBack);
}
uint32_t pack_expected(QmiCursor* c, const void* in) {
  const ConfirmedChange& change = change_of(in);
  if (change.expected == nullptr || change.expectedLength == 0) return vant::kSuccess;
  return put_bytes(c, change.expected, change.expectedLength);
}
uint32_t pack_revert_after(QmiCursor* c, const void* in) {
  return put_u32(c, change_of(in).revertAfterMs);
}
uint32_t pack_label(QmiCursor* c, const void* in) {
  return pack_text(c, change_of(in).label);
}
uint32_t pack_previous(QmiCursor* c, const void* in) {
  return pack_text(c, change_of(in).previous);
}

constexpr TlvEntry kBeginRequest[] = {
    {0x01, &pack_apply},    {0x02, &pack_restore},      {0x03, &pack_read_back},
    {0x04, &pack_expected}, {0x05, &pack_revert_after}, {0x06, &pack_label},
    {0x07, &pack_previous}, {kTlvEnd, nullptr},
};

struct BeginOutput {
  uint32_t id;
  uint64_t deadline;
};

uint32_t unpack_change_id(QmiCursor* c, ResponseContext* context) {
  return get_u32(c, &static_cast<BeginOutput*>(context->output)->id);
}
uint32_t unpack_deadline(QmiCursor* c, ResponseContext* context) {
  return get_u64(c, &static_cast<BeginOutput*>(context->output)->deadline);
}

constexpr TlvEntry kBeginResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x10, &unpack_change_id},
    {0x11, &unpack_deadline},
    {kTlvEnd, nullptr},
};

uint32_t pack_change_id(QmiCursor* c, const void* in) {
  const uint32_t id = *static_cast<const uint32_t*>(in);
  return id == 0 ? vant::kSuccess : put_u32(c, id);
}

constexpr TlvEntry kIdRequest[] = {{0x01, &pack_change_id}, {kTlvEnd, nullptr}};
constexpr TlvEntry kNoTlvs[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kResultOnly[] = {{kResultTlvType, &unpack_result_tlv}, {kTlvEnd, nullptr}};

// ---- Pending ----

PendingChangeInfo& info_of(ResponseContext* context) {
  return *static_cast<PendingChangeInfo*>(context->output);
}

template <auto kMember>
uint32_t unpack_info_field(QmiCursor* c, ResponseContext* context) {
  auto& field = info_of(context).*kMember;
  using Field = std::remove_reference_t<decltype(field)>;
  if constexpr (sizeof(Field) == 1) {
    return get_u8(c, &field);
  } else if constexpr (sizeof(Field) == 2) {
    return get_u16(c, &field);
  } else if constexpr (sizeof(Field) == 4) {
    return get_u32(c, &field);
  } else {
    return get_u64(c, &field);
  }
}

template <auto kMember>
uint32_t unpack_info_text(QmiCursor* c, ResponseContext* context) {
  char* field = info_of(context).*kMember;
  uint16_t length = 0;
  if (const uint32_t r = peek_tlv_length(c, &length); r != 0) return r;
  const uint32_t taken = std::min<uint32_t>(length, kChangeTextSize - 1);
  const uint32_t r = get_bytes(c, reinterpret_cast<uint8_t*>(field), taken);
  field[r == 0 ? taken : 0] = '\0';
  return r;
}

constexpr TlvEntry kPendingResponse[] = {
    {kResultTlvType, &unpack_result_tlv},
    {0x10, &unpack_info_field<&PendingChangeInfo::id>},
    {0x11, &unpack_info_field<&PendingChangeInfo::state>},
    {0x12, &unpack_info_field<&PendingChangeInfo::startedMs>},
    {0x13, &unpack_info_field<&PendingChangeInfo::deadlineMs>},
    {0x14, &unpack_info_field<&PendingChangeInfo::revertAfterMs>},
    {0x15, &unpack_info_field<&PendingChangeInfo::attempts>},
    {0x16, &unpack_info_text<&PendingChangeInfo::label>},
    {0x17, &unpack_info_text<&PendingChangeInfo::previous>},
    {kTlvEnd, nullptr},
};

void preset_info(void* output) {
  *static_cast<PendingChangeInfo*>(output) = {};
}

QmiExchange change_exchange(uint16_t message_id, uint32_t timeout_ms) {
  QmiExchange exchange{};
  exchange.service = kChangeService;
  exchange.messageId = message_id;
  exchange.timeoutMs = timeout_ms;
  exchange.request = kNoTlvs;
  exchange.response = kResultOnly;
  return exchange;
}

uint32_t id_request(uint16_t message_id, uint32_t timeout_ms, uint32_t change_id) {
  QmiExchange exchange = change_exchange(message_id, timeout_ms);
  exchange.request = kIdRequest;
  exchange.input = &change_id;
  return run_qmi_exchange(exchange);
}

}  // namespace

uint32_t VANTChangeBegin(const ConfirmedChange* change, uint32_t* changeId, uint64_t* deadlineMs) {
  if (change == nullptr || changeId == nullptr || deadlineMs == nullptr)
    return vant::kInvalidArgument;
  BeginOutput output{};
  QmiExchange exchange = change_exchange(kBegin, kBeginTimeoutMs);
  exchange.request = kBeginRequest;
  exchange.input = change;
  exchange.response = kBeginResponse;
  exchange.output = &output;
  const uint32_t result = run_qmi_exchange(exchange);
  *changeId = output.id;
  *deadlineMs = output.deadline;
  return result;
}

uint32_t VANTChangeConfirm(uint32_t changeId) {
  return id_request(kConfirm, kQuickTimeoutMs, changeId);
}

uint32_t VANTChangeRevert(uint32_t changeId) {
  return id_request(kRevert, kRevertTimeoutMs, changeId);
}

uint32_t VANTChangeGetPending(PendingChangeInfo* info) {
  if (info == nullptr) return vant::kInvalidArgument;
  QmiExchange exchange = change_exchange(kPending, kQuickTimeoutMs);
  exchange.response = kPendingResponse;
  exchange.output = info;
  exchange.preset = &preset_info;
  return run_qmi_exchange(exchange);
}
