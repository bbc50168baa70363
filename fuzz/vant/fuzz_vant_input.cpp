// Feeds vant's readers what arrives from outside: duration arguments, and
// cell location answers (decoded by the client library, as vant receives
// them) through the report, the serving sample and the ranking.
//
// Input: a selector byte (bit 0: 0 = duration text, 1 = cell location TLV
// area), then the text or the TLV area.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "sdk/nas/nas_messages.h"
#include "vant/cell_report.h"
#include "vant/duration.h"
#include "vant/output.h"
#include "vant/ranking.h"
#include "vant/serving_sample.h"

namespace {

// Several megabytes: static storage.
vant::CellLocationRecords g_cell;

void read_duration(const uint8_t* data, size_t size) {
  const auto parsed =
      vant::cli::parse_duration(std::string_view(reinterpret_cast<const char*>(data), size));
  if (parsed && *parsed > std::chrono::hours(24)) std::abort();
}

void read_cell_location(const uint8_t* data, size_t size) {
  if (size > 0xFFFF) return;
  auto message = std::make_unique<uint8_t[]>(4 + size);
  message[0] = message[1] = 0;
  message[2] = static_cast<uint8_t>(size & 0xFF);
  message[3] = static_cast<uint8_t>(size >> 8);
  std::memcpy(message.get() + 4, data, size);
  CellLocationInfo info = g_cell.request_all();
  vant::nas::preset_cell_location_info(&info);
  ResponseContext context{};
  context.output = &info;
  vant::nas::unpack_get_cell_location_info(message.get(), &context);

  (void)vant::cli::json_text(vant::cli::cell_report_json(g_cell));
  (void)vant::cli::json_text(vant::cli::serving_sample_json(vant::cli::serving_sample(g_cell)));
  const auto heard = vant::cli::heard_lte_cells(g_cell.lteIntra, g_cell.lteInter);
  if (vant::cli::rank_candidates(heard, -140).size() > heard.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1)
    read_cell_location(data + 1, size - 1);
  else
    read_duration(data + 1, size - 1);
  return 0;
}
