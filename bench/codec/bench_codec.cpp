// Cost of the QMI codec on the two heavy shapes the library meets: a request
// with many optional TLVs, and a cell-location style response with long nested
// lists. Reported per message (the benchmark's time) and per TLV.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "vantsdk/qmi_codec.h"

namespace {

// Time per message and per TLV, shown in seconds with an SI prefix.
void set_time_counters(benchmark::State& state, int tlvs) {
  const auto per_unit = benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert;
  state.counters["per_message"] = benchmark::Counter(1, per_unit);
  state.counters["per_tlv"] = benchmark::Counter(tlvs, per_unit);
}

// ---- Request: 23 optional TLVs of mixed widths ------------------------------

struct PreferenceInput {
  const uint8_t* mode;
  const uint16_t* bands16[6];
  const uint32_t* words[6];
  const uint64_t* bands64[6];
  const std::array<uint8_t, 12>* blobs[4];
};

const PreferenceInput& pref(const void* input) {
  return *static_cast<const PreferenceInput*>(input);
}

uint32_t pack_mode(QmiCursor* c, const void* input) {
  return pref(input).mode ? put_u8(c, *pref(input).mode) : 0;
}
template <int I>
uint32_t pack_band16(QmiCursor* c, const void* input) {
  return pref(input).bands16[I] ? put_u16(c, *pref(input).bands16[I]) : 0;
}
template <int I>
uint32_t pack_word(QmiCursor* c, const void* input) {
  return pref(input).words[I] ? put_u32(c, *pref(input).words[I]) : 0;
}
template <int I>
uint32_t pack_band64(QmiCursor* c, const void* input) {
  return pref(input).bands64[I] ? put_u64(c, *pref(input).bands64[I]) : 0;
}
template <int I>
uint32_t pack_blob(QmiCursor* c, const void* input) {
  const auto* blob = pref(input).blobs[I];
  if (blob == nullptr) return TLV_PRESENT_EMPTY;
  if (uint32_t s = put_u16_be(c, 0x0102)) return s;
  return put_bytes(c, blob->data(), blob->size());
}

constexpr TlvEntry kPreferenceRequest[] = {
    {0x10, &pack_mode},      {0x11, &pack_band16<0>}, {0x12, &pack_band16<1>},
    {0x13, &pack_band16<2>}, {0x14, &pack_band16<3>}, {0x15, &pack_band16<4>},
    {0x16, &pack_band16<5>}, {0x17, &pack_word<0>},   {0x18, &pack_word<1>},
    {0x19, &pack_word<2>},   {0x1A, &pack_word<3>},   {0x1B, &pack_word<4>},
    {0x1C, &pack_word<5>},   {0x1D, &pack_band64<0>}, {0x1E, &pack_band64<1>},
    {0x1F, &pack_band64<2>}, {0x20, &pack_band64<3>}, {0x21, &pack_band64<4>},
    {0x22, &pack_band64<5>}, {0x24, &pack_blob<0>},   {0x26, &pack_blob<1>},
    {0x27, &pack_blob<2>},   {0x28, &pack_blob<3>},   {kTlvEnd, nullptr},
};
constexpr int kPreferenceTlvs = 23;

void BM_PackSelectionPreference(benchmark::State& state) {
  static const uint8_t mode = 2;
  static const uint16_t band16 = 0x00F0;
  static const uint32_t word = 0x12345678;
  static const uint64_t band64 = 0x00000000000800C5;
  static const std::array<uint8_t, 12> blob{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  PreferenceInput input{&mode, {}, {}, {}, {}};
  for (auto& p : input.bands16) p = &band16;
  for (auto& p : input.words) p = &word;
  for (auto& p : input.bands64) p = &band64;
  for (auto& p : input.blobs) p = &blob;

  std::array<uint8_t, REQUEST_CAPACITY> buffer{};
  uint16_t length = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        pack_request(buffer.data(), &input, kPreferenceRequest, 0x33, &length));
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * (4 + length));
  state.counters["tlvs"] = kPreferenceTlvs;
  set_time_counters(state, kPreferenceTlvs);
}
BENCHMARK(BM_PackSelectionPreference);

// ---- Response: cell-location style, nested lists ----------------------------

struct Cell {
  uint16_t pci;
  int16_t rsrq, rsrp, rssi, srxLev;
};
struct Frequency {
  uint16_t earfcn;
  uint8_t threshLow, threshHigh, priority, cellCount;
  Cell cells[255];
};
struct NmrCell {
  uint32_t cellId;
  uint8_t plmn[3];
  uint16_t lac, arfcn;
  uint8_t bsic;
  uint16_t rxLevel;
};
struct CellReport {
  uint32_t geranCellId;
  uint8_t nmrCount;
  NmrCell nmr[255];
  uint16_t tac;
  uint32_t globalCellId;
  uint8_t intraCount;
  Cell intra[255];
  uint8_t frequencyCount;
  Frequency frequencies[255];
  uint32_t umtsCellId;
};

CellReport& report(ResponseContext* context) {
  return *static_cast<CellReport*>(context->output);
}

uint32_t get_cell(QmiCursor* c, Cell* cell) {
  uint16_t v[5];
  for (uint16_t& x : v)
    if (uint32_t s = get_u16(c, &x)) return s;
  *cell = {v[0], static_cast<int16_t>(v[1]), static_cast<int16_t>(v[2]), static_cast<int16_t>(v[3]),
           static_cast<int16_t>(v[4])};
  return 0;
}

uint32_t unpack_geran(QmiCursor* c, ResponseContext* context) {
  CellReport& r = report(context);
  if (uint32_t s = get_u32(c, &r.geranCellId)) return s;
  if (uint32_t s = skip(c, 14)) return s;
  if (uint32_t s = get_u8(c, &r.nmrCount)) return s;
  for (int i = 0; i < r.nmrCount; ++i) {
    NmrCell& n = r.nmr[i];
    if (uint32_t s = get_u32(c, &n.cellId)) return s;
    if (uint32_t s = get_bytes(c, n.plmn, 3)) return s;
    if (uint32_t s = get_u16(c, &n.lac)) return s;
    if (uint32_t s = get_u16(c, &n.arfcn)) return s;
    if (uint32_t s = get_u8(c, &n.bsic)) return s;
    if (uint32_t s = get_u16(c, &n.rxLevel)) return s;
  }
  return 0;
}

uint32_t unpack_intra(QmiCursor* c, ResponseContext* context) {
  CellReport& r = report(context);
  if (uint32_t s = skip(c, 4)) return s;
  if (uint32_t s = get_u16(c, &r.tac)) return s;
  if (uint32_t s = get_u32(c, &r.globalCellId)) return s;
  if (uint32_t s = skip(c, 8)) return s;
  if (uint32_t s = get_u8(c, &r.intraCount)) return s;
  for (int i = 0; i < r.intraCount; ++i)
    if (uint32_t s = get_cell(c, &r.intra[i])) return s;
  return 0;
}

uint32_t unpack_inter(QmiCursor* c, ResponseContext* context) {
  CellReport& r = report(context);
  if (uint32_t s = skip(c, 1)) return s;
  if (uint32_t s = get_u8(c, &r.frequencyCount)) return s;
  for (int f = 0; f < r.frequencyCount; ++f) {
    Frequency& q = r.frequencies[f];
    if (uint32_t s = get_u16(c, &q.earfcn)) return s;
    if (uint32_t s = get_u8(c, &q.threshLow)) return s;
    if (uint32_t s = get_u8(c, &q.threshHigh)) return s;
    if (uint32_t s = get_u8(c, &q.priority)) return s;
    if (uint32_t s = get_u8(c, &q.cellCount)) return s;
    for (int i = 0; i < q.cellCount; ++i)
      if (uint32_t s = get_cell(c, &q.cells[i])) return s;
  }
  return 0;
}

uint32_t unpack_umts_cell_id(QmiCursor* c, ResponseContext* context) {
  return get_u32(c, &report(context).umtsCellId);
}

constexpr TlvEntry kCellReportResponse[] = {
    {0x02, &unpack_result_tlv}, {0x10, &unpack_geran},        {0x13, &unpack_intra},
    {0x14, &unpack_inter},      {0x17, &unpack_umts_cell_id}, {kTlvEnd, nullptr},
};

void append_u8(std::vector<uint8_t>& v, uint8_t x) {
  v.push_back(x);
}
void append_u16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void append_u32(std::vector<uint8_t>& v, uint32_t x) {
  append_u16(v, static_cast<uint16_t>(x));
  append_u16(v, static_cast<uint16_t>(x >> 16));
}
void append_cells(std::vector<uint8_t>& v, int count) {
  append_u8(v, static_cast<uint8_t>(count));
  for (int i = 0; i < count; ++i)
    for (int field = 0; field < 5; ++field) append_u16(v, static_cast<uint16_t>(i * 5 + field));
}
void append_tlv(std::vector<uint8_t>& message, uint8_t type, const std::vector<uint8_t>& value) {
  append_u8(message, type);
  append_u16(message, static_cast<uint16_t>(value.size()));
  message.insert(message.end(), value.begin(), value.end());
}

struct BuiltResponse {
  std::vector<uint8_t> bytes;
  int tlvs;
};

// About 1.5 KB, within the 2 KB response buffer: result, 24 GERAN neighbours,
// 40 LTE intra-frequency cells, 4 inter-frequency layers of 16 cells each, the
// UMTS cell id, and two TLVs the table does not know.
BuiltResponse cell_report_response() {
  std::vector<uint8_t> m{0x43, 0x00, 0x00, 0x00};
  append_tlv(m, 0x02, {0, 0, 0, 0});
  std::vector<uint8_t> geran(18, 0x11);
  append_u8(geran, 24);
  for (int i = 0; i < 24; ++i) geran.insert(geran.end(), 14, static_cast<uint8_t>(i));
  append_tlv(m, 0x10, geran);
  std::vector<uint8_t> intra(18, 0x22);
  append_cells(intra, 40);
  append_tlv(m, 0x13, intra);
  std::vector<uint8_t> inter{1, 4};
  for (int f = 0; f < 4; ++f) {
    append_u16(inter, static_cast<uint16_t>(1300 + f));
    inter.insert(inter.end(), {4, 6, 3});
    append_cells(inter, 16);
  }
  append_tlv(m, 0x14, inter);
  std::vector<uint8_t> id;
  append_u32(id, 0x0ABCDEF0);
  append_tlv(m, 0x17, id);
  append_tlv(m, 0x1E, std::vector<uint8_t>(40, 0x33));
  append_tlv(m, 0x1F, std::vector<uint8_t>(8, 0x44));
  const size_t length = m.size() - 4;
  m[2] = static_cast<uint8_t>(length);
  m[3] = static_cast<uint8_t>(length >> 8);
  return {m, 7};
}

void BM_UnpackCellReport(benchmark::State& state) {
  const BuiltResponse response = cell_report_response();
  static CellReport output;
  ResponseContext context{};
  context.output = &output;
  uint32_t status = 0;
  for (auto _ : state) {
    status |= unpack_response(response.bytes.data(), &context, kCellReportResponse, 0x43);
    benchmark::ClobberMemory();
  }
  if (status != 0 || output.frequencies[3].cells[15].srxLev != 79)
    state.SkipWithError("bad decode");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(response.bytes.size()));
  state.counters["bytes"] = static_cast<double>(response.bytes.size());
  state.counters["tlvs"] = response.tlvs;
  set_time_counters(state, response.tlvs);
}
BENCHMARK(BM_UnpackCellReport);

}  // namespace

BENCHMARK_MAIN();
