#include "sim/bands.h"

#include <gtest/gtest.h>

namespace vant::sim {
namespace {

// Edges of the downlink EARFCN ranges of TS 36.101, and the gaps between them.
TEST(Bands, EarfcnsFallInTheirBands) {
  const std::pair<uint32_t, std::optional<uint16_t>> rows[] = {
      {0, 1},
      {599, 1},
      {600, 2},
      {900, 2},
      {5009, std::nullopt},
      {5010, 12},
      {5110, 12},
      {5379, 14},
      {5380, std::nullopt},
      {5730, 17},
      {9210, 28},
      {9659, 28},
      {10359, 32},
      {10360, std::nullopt},
      {36000, 33},
      {39650, 41},
      {41589, 41},
      {60254, 53},
      {60255, std::nullopt},
      {65535, std::nullopt},
      {65536, 65},
      {66435, 65},
      {66436, 66},
      {68585, 70},
      {68586, 71},
      {68935, 71},
      {68936, std::nullopt},
  };
  for (const auto& [earfcn, band] : rows) EXPECT_EQ(band, lte_band_of_earfcn(earfcn)) << earfcn;
}

// Values of libqmi's QmiNasActiveBand, whose LTE part is not in band order.
TEST(Bands, ActiveBandValues) {
  EXPECT_EQ(120, lte_active_band(1));
  EXPECT_EQ(134, lte_active_band(17));
  EXPECT_EQ(143, lte_active_band(18));
  EXPECT_EQ(158, lte_active_band(28));
  EXPECT_EQ(161, lte_active_band(66));
  EXPECT_EQ(168, lte_active_band(71));
  EXPECT_EQ(std::nullopt, lte_active_band(22));
  EXPECT_EQ(250, nr_active_band(1));
  EXPECT_EQ(269, nr_active_band(78));
  EXPECT_EQ(277, nr_active_band(257));
  EXPECT_EQ(std::nullopt, nr_active_band(4));
  EXPECT_EQ(84, umts_active_band(4385));
  EXPECT_EQ(80, umts_active_band(10700));
  EXPECT_EQ(47, gsm_active_band(600));
  EXPECT_EQ(std::nullopt, gsm_active_band(300));
}

TEST(Bands, MasksPutBandNAtBitNMinusOne) {
  const BandSet bands = {1, 64, 65, 256, 512};
  const auto four = band_mask(bands, 4);
  EXPECT_EQ((std::vector<uint64_t>{uint64_t{1} | uint64_t{1} << 63, 1, 0, uint64_t{1} << 63}),
            four);
  EXPECT_EQ((BandSet{1, 64, 65, 256}), bands_of_mask(four)) << "512 needs eight words";
  EXPECT_EQ(bands, bands_of_mask(band_mask(bands, 8)));
  EXPECT_EQ((std::vector<uint64_t>{uint64_t{1} | uint64_t{1} << 63}), band_mask(bands, 1));
}

}  // namespace
}  // namespace vant::sim
