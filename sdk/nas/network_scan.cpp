// The network scan: three parallel lists of the networks seen (with their
// status, radio access technology and a flag), the scan's result word, and two
// optional reports that only callers who ask for them get.
#include <algorithm>

#include "sdk/core/request_engine.h"
#include "sdk/nas/field_io.h"
#include "sdk/nas/nas_messages.h"
#include "vantsdk/nas.h"
#include "vantsdk/result_codes.h"

namespace vant::nas {
namespace {

// The value list's count must leave room for its "not allowed" marker.
constexpr uint8_t kValueListCountInvalid = 0xFF;

ScanUnpackState& state_of(ResponseContext* context) {
  return *static_cast<ScanUnpackState*>(context->output);
}

// A list count as the one-byte count member can hold it: a count the member
// cannot hold is reported as 255, still more than any array can take.
uint8_t count_byte(uint16_t count) {
  return static_cast<uint8_t>(std::min<uint16_t>(count, 255));
}

// Description: a length byte and that many characters, always stored
// zero-terminated, also when the message ends inside it.
uint32_t read_description(QmiCursor* c, char (&description)[256]) {
  uint8_t length = 0;
  if (const uint32_t s = get_u8(c, &length)) return s;
  for (size_t i = 0; i < length; ++i) {
    uint8_t ch = 0;
    if (const uint32_t s = get_u8(c, &ch)) {
      description[i] = '\0';
      return s;
    }
    description[i] = static_cast<char>(ch);
  }
  description[length] = '\0';
  return kSuccess;
}

uint32_t read_network(QmiCursor* c, ScannedNetwork& n) {
  uint8_t status = 0;
  if (const uint32_t s = read_fields(c, &n.mcc, &n.mnc, &status)) return s;
  n.serviceStatus = status & 0x03u;
  n.roamingStatus = (status >> 2) & 0x03u;
  n.status45 = (status >> 4) & 0x03u;
  n.status67 = (status >> 6) & 0x03u;
  return read_description(c, n.description);
}

uint32_t unpack_networks(QmiCursor* c, ResponseContext* context) {
  ScanUnpackState& state = state_of(context);
  NetworkScanResult& r = *state.result;
  if (r.networkCount == nullptr || r.networks == nullptr) return kInvalidArgument;
  uint16_t count = 0;
  if (const uint32_t s = get_u16(c, &count)) return s;
  *r.networkCount = count_byte(count);
  if (count > state.networkCapacity) return kBufferTooSmall;
  if (count == 0) {
    if (r.ratCount != nullptr) *r.ratCount = 0;
    return kSuccess;
  }
  for (uint16_t i = 0; i < count; ++i)
    if (const uint32_t s = read_network(c, r.networks[i])) return s;
  return kSuccess;
}

// TLVs 0x11 and 0x12: a 16-bit count, then MCC, MNC and one byte per entry,
// into an array whose capacity the caller gave.
template <typename Entry, typename Byte>
uint32_t read_plmn_byte_list(QmiCursor* c, uint8_t* count_out, uint8_t capacity, Entry* entries,
                             Byte Entry::*byte) {
  if (count_out == nullptr || entries == nullptr) return kSuccess;
  uint16_t count = 0;
  if (const uint32_t s = get_u16(c, &count)) return s;
  *count_out = count_byte(count);
  if (count > capacity) return kBufferTooSmall;
  for (uint16_t i = 0; i < count; ++i)
    if (const uint32_t s = read_fields(c, &entries[i].mcc, &entries[i].mnc, &(entries[i].*byte)))
      return s;
  return kSuccess;
}

uint32_t unpack_rats(QmiCursor* c, ResponseContext* context) {
  ScanUnpackState& state = state_of(context);
  return read_plmn_byte_list(c, state.result->ratCount, state.ratCapacity, state.result->rats,
                             &NetworkRat::rat);
}

uint32_t unpack_flags(QmiCursor* c, ResponseContext* context) {
  ScanUnpackState& state = state_of(context);
  return read_plmn_byte_list(c, state.result->flagCount, state.flagCapacity, state.result->flags,
                             &NetworkFlag::flag);
}

uint32_t unpack_scan_result(QmiCursor* c, ResponseContext* context) {
  uint32_t* word = state_of(context).result->scanResult;
  return word == nullptr ? kSuccess : read_fields(c, word);
}

// A view of c that ends at end (or at c's own end, if that comes first).
QmiCursor bounded_to(const QmiCursor& c, uint32_t end) {
  return {static_cast<uint16_t>(std::min<uint32_t>(end, c.size)), c.index, c.data};
}

// The cell report's PLMN records and trailing values are read only while they
// lie inside the TLV's value: a report that does not fit its value is left
// marked incomplete (cellReportValid 0) instead of being completed from the
// bytes of whatever follows, and the walk goes on with the next TLV.
uint32_t unpack_cell_report(QmiCursor* c, ResponseContext* context) {
  NetworkScanResult& r = *state_of(context).result;
  if (r.cellReport == nullptr) return kSuccess;
  ScanCellReport& report = *r.cellReport;
  r.cellReportValid = 0;
  uint16_t value_length = 0;
  if (const uint32_t s = peek_tlv_length(c, &value_length)) return s;
  const uint32_t value_end = static_cast<uint32_t>(c->index) + value_length;

  if (const uint32_t s = get_u8(c, &report.entryCount)) return s;
  for (size_t i = 0; i < report.entryCount; ++i) {
    ScanCellEntry& entry = report.entries[i];
    if (const uint32_t s = read_fields(c, &entry.cellValue1, &entry.cellValue2, &entry.cellValue3,
                                       &entry.plmnCount))
      return s;
    if (c->index > value_end) return kSuccess;
    QmiCursor inside = bounded_to(*c, value_end);
    for (size_t k = 0; k < entry.plmnCount; ++k) {
      ScanPlmn& p = entry.plmns[k];
      if (read_fields(&inside, &p.mcc, &p.mnc, &p.flag) != kSuccess) return kSuccess;
    }
    c->index = inside.index;
  }
  if (c->index > value_end) return kSuccess;
  QmiCursor inside = bounded_to(*c, value_end);
  for (uint16_t& value : report.trailing)
    if (read_fields(&inside, &value) != kSuccess) return kSuccess;
  r.cellReportValid = 1;
  return kSuccess;
}

uint32_t unpack_value_list(QmiCursor* c, ResponseContext* context) {
  ScanValueList* list = state_of(context).result->valueList;
  if (list == nullptr) return kSuccess;
  uint8_t count = 0;
  if (const uint32_t s = get_u8(c, &count)) return s;
  if (count == kValueListCountInvalid) return kMemoryError;
  list->count = count;
  for (size_t i = 0; i < count; ++i)
    if (const uint32_t s = read_fields(c, &list->x[i], &list->y[i], &list->z[i])) return s;
  list->valid = 1;
  return kSuccess;
}

constexpr TlvEntry kScanRequest[] = {{kTlvEnd, nullptr}};
constexpr TlvEntry kScanResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_networks},    {0x11, &unpack_rats},
    {0x12, &unpack_flags},      {0x13, &unpack_scan_result}, {0x17, &unpack_cell_report},
    {0x18, &unpack_value_list}, {kTlvEnd, nullptr},
};

// Moves a list's capacity out of its count member and leaves the count at 0.
uint8_t take_capacity(uint8_t* count) {
  if (count == nullptr) return 0;
  const uint8_t capacity = *count;
  *count = 0;
  return capacity;
}

}  // namespace

void preset_scan_networks(void* output) {
  ScanUnpackState& state = *static_cast<ScanUnpackState*>(output);
  NetworkScanResult& r = *state.result;
  state.networkCapacity = take_capacity(r.networkCount);
  state.ratCapacity = take_capacity(r.ratCount);
  state.flagCapacity = take_capacity(r.flagCount);
  if (r.cellReport != nullptr) {
    r.cellReport->entryCount = 0;
    r.cellReportValid = 0;
  }
  if (r.valueList != nullptr) {
    r.valueList->count = 0;
    r.valueList->valid = 0;
  }
}

uint32_t pack_scan_networks(uint16_t* out_length, uint8_t* buffer) {
  return pack_request(buffer, nullptr, kScanRequest, kScanNetworksId, out_length);
}

uint32_t unpack_scan_networks(const uint8_t* message, ResponseContext* context) {
  return unpack_response(message, context, kScanResponse, kScanNetworksId);
}

}  // namespace vant::nas

uint32_t VANTNASScanNetworks(NetworkScanResult* result) {
  using namespace vant::nas;
  if (result == nullptr) return vant::kInvalidArgument;
  ScanUnpackState state{result, 0, 0, 0};
  return run_qmi_exchange({.service = kNasService,
                           .messageId = kScanNetworksId,
                           .timeoutMs = kScanTimeoutMs,
                           .request = kScanRequest,
                           .input = nullptr,
                           .response = kScanResponse,
                           .output = &state,
                           .preset = &preset_scan_networks});
}
