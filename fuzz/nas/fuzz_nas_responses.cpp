// Feeds arbitrary TLV areas to the cell location and network scan response
// decoders, with the presets their request functions apply first.
//
// Input: a selector byte (bit 0: 0 = cell location, 1 = scan; bits 1-7 leave
// out one optional member each), a capacity byte for the scan's lists, then
// the TLV area. The message is built on the heap with a length field equal to
// the TLV area's size, so any read past the bytes given is caught by
// AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "sdk/nas/nas_messages.h"
#include "vantsdk/cell_location_records.h"
#include "vantsdk/nas.h"

namespace {

struct ScanRecords {
  uint8_t networkCount, ratCount, flagCount;
  ScannedNetwork networks[kScanListCapacity];
  NetworkRat rats[kScanListCapacity];
  NetworkFlag flags[kScanListCapacity];
  uint32_t scanResult;
  ScanCellReport cellReport;
  ScanValueList valueList;
};

// The records live in static storage: together they are several megabytes.
vant::CellLocationRecords g_cell;
ScanRecords g_scan;

template <typename T>
T* unless(uint8_t mask, int bit, T* member) {
  return (mask >> bit) & 1 ? nullptr : member;
}

uint32_t unpack(uint32_t (*entry)(const uint8_t*, ResponseContext*), const uint8_t* message,
                void* output) {
  ResponseContext context{};
  context.output = output;
  return entry(message, &context);
}

void decode_cell_location(uint8_t mask, const uint8_t* message) {
  CellLocationInfo info{unless(mask, 0, &g_cell.geran),
                        unless(mask, 1, &g_cell.umts),
                        unless(mask, 2, &g_cell.cdma),
                        unless(mask, 3, &g_cell.lteIntra),
                        unless(mask, 4, &g_cell.lteInter),
                        unless(mask, 5, &g_cell.lteGsm),
                        unless(mask, 6, &g_cell.lteWcdma),
                        &g_cell.umtsCellId,
                        &g_cell.wcdmaLte};
  vant::nas::preset_cell_location_info(&info);
  unpack(vant::nas::unpack_get_cell_location_info, message, &info);
}

void decode_scan(uint8_t mask, uint8_t capacity, const uint8_t* message) {
  g_scan.networkCount = g_scan.ratCount = g_scan.flagCount = capacity;
  NetworkScanResult result{};
  result.networkCount = unless(mask, 0, &g_scan.networkCount);
  result.networks = g_scan.networks;
  result.ratCount = unless(mask, 1, &g_scan.ratCount);
  result.rats = g_scan.rats;
  result.flagCount = unless(mask, 2, &g_scan.flagCount);
  result.flags = g_scan.flags;
  result.scanResult = unless(mask, 3, &g_scan.scanResult);
  result.cellReport = unless(mask, 4, &g_scan.cellReport);
  result.valueList = unless(mask, 5, &g_scan.valueList);
  vant::nas::ScanUnpackState state{&result, 0, 0, 0};
  vant::nas::preset_scan_networks(&state);
  const uint32_t status = unpack(vant::nas::unpack_scan_networks, message, &state);
  // A successful decode never reports more entries than the caller's capacity.
  if (status == 0 &&
      (g_scan.networkCount > capacity || g_scan.ratCount > capacity || g_scan.flagCount > capacity))
    std::abort();
  // Every description written is zero-terminated within its field.
  for (const ScannedNetwork& n : g_scan.networks)
    if (std::memchr(n.description, '\0', sizeof n.description) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size - 2 > 0xFFFF) return 0;
  const uint8_t selector = data[0];
  const uint8_t capacity = data[1];
  const size_t tlv_length = size - 2;
  auto message = std::make_unique<uint8_t[]>(4 + tlv_length);
  message[0] = message[1] = 0;
  message[2] = static_cast<uint8_t>(tlv_length & 0xFF);
  message[3] = static_cast<uint8_t>(tlv_length >> 8);
  std::memcpy(message.get() + 4, data + 2, tlv_length);
  const uint8_t mask = selector >> 1;
  if (selector & 1)
    decode_scan(mask, capacity, message.get());
  else
    decode_cell_location(mask, message.get());
  return 0;
}
