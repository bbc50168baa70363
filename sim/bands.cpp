#include "sim/bands.h"

#include <algorithm>
#include <iterator>

namespace vant::sim {
namespace {

struct ChannelRange {
  uint32_t first, last;
  uint16_t band;
};

// Downlink EARFCNs of the E-UTRA bands 1 to 71 (TS 36.101, table 5.7.3-1).
// Bands 15, 16 and 54 to 64 have none.
constexpr ChannelRange kEarfcns[] = {
    {0, 599, 1},        {600, 1199, 2},     {1200, 1949, 3},    {1950, 2399, 4},
    {2400, 2649, 5},    {2650, 2749, 6},    {2750, 3449, 7},    {3450, 3799, 8},
    {3800, 4149, 9},    {4150, 4749, 10},   {4750, 4949, 11},   {5010, 5179, 12},
    {5180, 5279, 13},   {5280, 5379, 14},   {5730, 5849, 17},   {5850, 5999, 18},
    {6000, 6149, 19},   {6150, 6449, 20},   {6450, 6599, 21},   {6600, 7399, 22},
    {7500, 7699, 23},   {7700, 8039, 24},   {8040, 8689, 25},   {8690, 9039, 26},
    {9040, 9209, 27},   {9210, 9659, 28},   {9660, 9769, 29},   {9770, 9869, 30},
    {9870, 9919, 31},   {9920, 10359, 32},  {36000, 36199, 33}, {36200, 36349, 34},
    {36350, 36949, 35}, {36950, 37549, 36}, {37550, 37749, 37}, {37750, 38249, 38},
    {38250, 38649, 39}, {38650, 39649, 40}, {39650, 41589, 41}, {41590, 43589, 42},
    {43590, 45589, 43}, {45590, 46589, 44}, {46590, 46789, 45}, {46790, 54539, 46},
    {54540, 55239, 47}, {55240, 56739, 48}, {56740, 58239, 49}, {58240, 59089, 50},
    {59090, 59139, 51}, {59140, 60139, 52}, {60140, 60254, 53}, {65536, 66435, 65},
    {66436, 67335, 66}, {67336, 67535, 67}, {67536, 67835, 68}, {67836, 68335, 69},
    {68336, 68585, 70}, {68586, 68935, 71},
};

// Downlink UARFCNs of the UTRA bands with an active band value (TS 25.101),
// as {first, last, active band}; band V comes before band VI, which it holds.
constexpr ChannelRange kUarfcns[] = {
    {10562, 10838, 80},  // I: 2100
    {9662, 9938, 81},    // II: PCS 1900
    {1162, 1513, 82},    // III: DCS 1800
    {1537, 1738, 83},    // IV: 1700 (US)
    {4357, 4458, 84},    // V: 850
    {4387, 4413, 85},    // VI: 800
    {2237, 2563, 86},    // VII: 2600
    {2937, 3088, 87},    // VIII: 900
    {9237, 9387, 88},    // IX: 1700 (Japan)
    {3712, 3787, 90},    // XI: 1500
    {712, 763, 91},      // XIX: 850 (Japan)
};

// GSM ARFCNs (TS 45.005). DCS 1800 and PCS 1900 share 512 to 810: those are
// taken as DCS 1800.
constexpr ChannelRange kArfcns[] = {
    {1, 124, 45},     // P-GSM 900
    {0, 0, 44},       // E-GSM 900
    {975, 1023, 44},  // E-GSM 900
    {955, 974, 46},   // R-GSM 900
    {128, 251, 43},   // GSM 850
    {259, 293, 40},   // GSM 450
    {306, 340, 41},   // GSM 480
    {438, 511, 42},   // GSM 750
    {512, 885, 47},   // DCS 1800
};

struct BandValue {
  uint16_t band, value;
};

// QmiNasActiveBand of libqmi's public qmi-enums-nas.h: EUTRAN_n and NR5G_n.
constexpr BandValue kLteActiveBands[] = {
    {1, 120},  {2, 121},  {3, 122},  {4, 123},   {5, 124},   {6, 125},   {7, 126},
    {8, 127},  {9, 128},  {10, 129}, {11, 130},  {12, 131},  {13, 132},  {14, 133},
    {17, 134}, {18, 143}, {19, 144}, {20, 145},  {21, 146},  {23, 152},  {24, 147},
    {25, 148}, {26, 153}, {27, 164}, {28, 158},  {29, 159},  {30, 160},  {31, 165},
    {32, 154}, {33, 135}, {34, 136}, {35, 137},  {36, 138},  {37, 139},  {38, 140},
    {39, 141}, {40, 142}, {41, 149}, {42, 150},  {43, 151},  {46, 163},  {47, 166},
    {48, 167}, {66, 161}, {71, 168}, {125, 155}, {126, 156}, {127, 157}, {250, 162},
};
constexpr BandValue kNrActiveBands[] = {
    {1, 250},  {2, 251},  {3, 252},   {5, 253},   {7, 254},   {8, 255},   {12, 282},  {13, 291},
    {14, 290}, {18, 292}, {20, 256},  {25, 283},  {26, 293},  {28, 257},  {29, 295},  {30, 294},
    {34, 284}, {38, 258}, {39, 285},  {40, 286},  {41, 259},  {48, 289},  {50, 260},  {51, 261},
    {53, 296}, {65, 287}, {66, 262},  {70, 263},  {71, 264},  {74, 265},  {75, 266},  {76, 267},
    {77, 268}, {78, 269}, {79, 270},  {80, 271},  {81, 272},  {82, 273},  {83, 274},  {84, 275},
    {85, 276}, {86, 288}, {257, 277}, {258, 278}, {259, 279}, {260, 280}, {261, 281},
};

template <size_t N>
std::optional<uint16_t> in_range(const ChannelRange (&table)[N], uint32_t channel) {
  for (const auto& r : table) {
    if (channel >= r.first && channel <= r.last) return r.band;
  }
  return std::nullopt;
}

template <size_t N>
std::optional<uint16_t> value_of(const BandValue (&table)[N], uint16_t band) {
  const auto it = std::find_if(std::begin(table), std::end(table),
                               [band](const BandValue& b) { return b.band == band; });
  if (it == std::end(table)) return std::nullopt;
  return it->value;
}

}  // namespace

std::optional<uint16_t> lte_band_of_earfcn(uint32_t earfcn) {
  return in_range(kEarfcns, earfcn);
}

std::optional<uint16_t> lte_active_band(uint16_t band) {
  return value_of(kLteActiveBands, band);
}

std::optional<uint16_t> nr_active_band(uint16_t band) {
  return value_of(kNrActiveBands, band);
}

std::optional<uint16_t> umts_active_band(uint32_t uarfcn) {
  return in_range(kUarfcns, uarfcn);
}

std::optional<uint16_t> gsm_active_band(uint32_t arfcn) {
  return in_range(kArfcns, arfcn);
}

std::vector<uint64_t> band_mask(const BandSet& bands, size_t words) {
  std::vector<uint64_t> mask(words, 0);
  for (uint16_t band : bands) {
    if (band == 0) continue;
    const size_t bit = band - 1u;
    if (bit / 64 < words) mask[bit / 64] |= uint64_t{1} << (bit % 64);
  }
  return mask;
}

BandSet bands_of_mask(const std::vector<uint64_t>& words) {
  BandSet bands;
  for (size_t w = 0; w < words.size(); ++w) {
    for (unsigned bit = 0; bit < 64; ++bit) {
      if (words[w] >> bit & 1u) bands.insert(static_cast<uint16_t>(1 + bit + 64 * w));
    }
  }
  return bands;
}

}  // namespace vant::sim
