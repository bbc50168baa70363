// The modem's band enumeration (the active band of the RF band information)
// and the 3GPP band numbers it stands for. The values are not in band order;
// they are those of libqmi's public QmiNasActiveBand, which the interop tests
// check against what qmicli prints.
#include <algorithm>
#include <array>
#include <span>

#include "vantsdk/bands.h"

namespace {

struct BandRow {
  uint16_t active;
  uint16_t band;
};

// E-UTRA bands, by active band value.
constexpr BandRow kLteBands[] = {
    {120, 1},   {121, 2},   {122, 3},   {123, 4},  {124, 5},  {125, 6},  {126, 7},
    {127, 8},   {128, 9},   {129, 10},  {130, 11}, {131, 12}, {132, 13}, {133, 14},
    {134, 17},  {135, 33},  {136, 34},  {137, 35}, {138, 36}, {139, 37}, {140, 38},
    {141, 39},  {142, 40},  {143, 18},  {144, 19}, {145, 20}, {146, 21}, {147, 24},
    {148, 25},  {149, 41},  {150, 42},  {151, 43}, {152, 23}, {153, 26}, {154, 32},
    {155, 125}, {156, 126}, {157, 127}, {158, 28}, {159, 29}, {160, 30}, {161, 66},
    {162, 250}, {163, 46},  {164, 27},  {165, 31}, {166, 47}, {167, 48}, {168, 71},
};

// NR5G bands, by active band value.
constexpr BandRow kNrBands[] = {
    {250, 1},  {251, 2},  {252, 3},  {253, 5},   {254, 7},   {255, 8},   {256, 20},  {257, 28},
    {258, 38}, {259, 41}, {260, 50}, {261, 51},  {262, 66},  {263, 70},  {264, 71},  {265, 74},
    {266, 75}, {267, 76}, {268, 77}, {269, 78},  {270, 79},  {271, 80},  {272, 81},  {273, 82},
    {274, 83}, {275, 84}, {276, 85}, {277, 257}, {278, 258}, {279, 259}, {280, 260}, {281, 261},
    {282, 12}, {283, 25}, {284, 34}, {285, 39},  {286, 40},  {287, 65},  {288, 86},  {289, 48},
    {290, 14}, {291, 13}, {292, 18}, {293, 26},  {294, 30},  {295, 29},  {296, 53},
};

constexpr bool ascending(std::span<const BandRow> rows) {
  return std::is_sorted(rows.begin(), rows.end(),
                        [](const BandRow& a, const BandRow& b) { return a.active < b.active; });
}
static_assert(ascending(kLteBands) && ascending(kNrBands));

uint16_t look_up(std::span<const BandRow> rows, uint16_t active) {
  const auto row = std::lower_bound(rows.begin(), rows.end(), active,
                                    [](const BandRow& r, uint16_t a) { return r.active < a; });
  return row != rows.end() && row->active == active ? row->band : 0;
}

}  // namespace

uint16_t VANTNASBandNumber(uint8_t radioInterface, uint16_t activeBand) {
  if (radioInterface == kRadioInterfaceLte) return look_up(kLteBands, activeBand);
  if (radioInterface == kRadioInterfaceNr5g) return look_up(kNrBands, activeBand);
  return 0;
}
