#include "sim/radio_view.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace vant::sim {
namespace {

// The serving LTE cell as (EARFCN, PCI), or (0, 0) when there is no LTE service.
std::pair<uint32_t, uint32_t> lte_serving(const Cells& c) {
  if (!c.lte_intra) return {0, 0};
  return {c.lte_intra->earfcn, c.lte_intra->serving_cell_id};
}

// The default cells: serving 5110/257 with intra neighbours 312 and 98;
// inter-frequency 2000 (41, 402, 41 the stronger) and 850 (133).
TEST(RadioView, LteLocks) {
  struct Row {
    const char* what;
    LteEarfcnLock band;
    LtePciLock cell;
    std::pair<uint32_t, uint32_t> serving;
  };
  const Row rows[] = {
      {"no lock", {}, {}, {5110, 257}},
      {"unlocked values are ignored", {0, 850, 850}, {0, 1, 1}, {5110, 257}},
      {"PCI lock on the serving cell", {}, {1, 5110, 257}, {5110, 257}},
      {"PCI lock on an intra neighbour", {}, {1, 5110, 312}, {5110, 312}},
      {"PCI lock on an inter-frequency cell", {}, {1, 2000, 402}, {2000, 402}},
      {"PCI lock on an unknown cell", {}, {1, 2000, 999}, {0, 0}},
      {"PCI lock on an unknown frequency", {}, {1, 9999, 41}, {0, 0}},
      {"EARFCN lock allowing the serving frequency", {1, 850, 5110}, {}, {5110, 257}},
      {"EARFCN lock moving to the strongest allowed cell", {1, 2000, 0}, {}, {2000, 41}},
      {"EARFCN lock on no known frequency", {1, 1, 2}, {}, {0, 0}},
      {"PCI lock outside the EARFCN lock", {1, 850, 850}, {1, 2000, 41}, {0, 0}},
      {"PCI lock inside the EARFCN lock", {1, 850, 2000}, {1, 2000, 41}, {2000, 41}},
  };
  const Cells base = default_scenario().cells;
  for (const auto& row : rows) {
    Locks locks;
    locks.lte_earfcn = row.band;
    locks.lte_pci = row.cell;
    const Cells view = radio_view(base, locks, std::nullopt);
    EXPECT_EQ(row.serving, lte_serving(view)) << row.what;
    if (row.serving.first == 0) {
      EXPECT_FALSE(view.lte_inter || view.lte_gsm || view.lte_wcdma) << row.what;
    }
  }
}

TEST(RadioView, MovingFrequencySwapsTheLists) {
  Locks locks;
  locks.lte_pci = {1, 850, 133};
  const Cells base = default_scenario().cells;
  const Cells view = radio_view(base, locks, std::nullopt);
  ASSERT_EQ(1u, view.lte_intra->cells.size());
  EXPECT_EQ(133, view.lte_intra->cells[0].pci);
  // The old serving frequency is now heard as an inter-frequency entry.
  const auto& moved = view.lte_inter->frequencies[1];
  EXPECT_EQ(5110, moved.earfcn);
  EXPECT_EQ(base.lte_intra->cells.size(), moved.cells.size());
  EXPECT_EQ(base.lte_intra->tac, view.lte_intra->tac);
}

TEST(RadioView, WcdmaLock) {
  const Cells base = default_scenario().cells;  // serving 4385/211, neighbours 4385/118, 4360/27
  Locks locks;
  locks.wcdma = {1, 4360};
  const Cells moved = radio_view(base, locks, std::nullopt);
  ASSERT_TRUE(moved.umts);
  EXPECT_EQ(4360, moved.umts->uarfcn);
  EXPECT_EQ(27, moved.umts->psc);
  EXPECT_EQ(211, moved.umts->instances[1].psc) << "the old serving cell became a neighbour";

  locks.wcdma = {1, 10700};
  const Cells gone = radio_view(base, locks, std::nullopt);
  EXPECT_FALSE(gone.umts || gone.umts_cell_id || gone.wcdma_lte);
  EXPECT_TRUE(gone.lte_intra);
}

TEST(RadioView, DriftIsATriangleWave) {
  // Amplitude 40 over 1000 ms: {ms, offset}; offsets are rounded toward zero.
  const std::pair<uint64_t, int32_t> rows[] = {{0, 0},     {125, 20}, {250, 40}, {500, 0},
                                               {750, -40}, {7, 1},    {990, -1}, {1250, 40}};
  for (const auto& [ms, offset] : rows)
    EXPECT_EQ(offset, drift_offset(40, Drift{1000, 0, 0, 0, 0, 0}, ms)) << ms << " ms";
}

TEST(RadioView, CellsDriftByTheirOwnOrTheCommonWave) {
  const Drift common{1000, 0, 10, 100, 20, 4};
  Cells base = default_scenario().cells;  // 5110/257 at -880, 2000/41 at -970
  base.lte_inter->frequencies[0].cells[0].drift = Drift{1000, 500, 0, 200, 0, 0};
  const Cells view = radio_view(base, {}, std::nullopt, common, {250, 0});
  const LteCell& serving = view.lte_intra->cells[0];
  EXPECT_EQ((std::array{-90 + 10, -880 + 100, -610 + 20, 42 + 4}),
            (std::array<int, 4>{serving.rsrq, serving.rsrp, serving.rssi, serving.srx_lev}));
  const LteCell& own = view.lte_inter->frequencies[0].cells[0];
  EXPECT_EQ(-970 - 200, own.rsrp) << "its own wave, half a period on";
  EXPECT_EQ(-110, own.rsrq) << "its own wave leaves RSRQ alone";
  // An EARFCN lock moves to the cell that is strongest now.
  base.lte_inter->frequencies[0].cells[1].drift = Drift{1000, 0, 0, 300, 0, 0};
  Locks band;
  band.lte_earfcn = {1, 2000, 0};
  EXPECT_EQ(402, radio_view(base, band, std::nullopt, common, {250, 0}).lte_intra->serving_cell_id);
}

// Cell 2000/41, locked by PCI at 5000 ms, changes 1000 ms later.
TEST(RadioView, LockedCellLosesServiceOrWeakensInTime) {
  const WhenLocked fails{1000, false, {}, {}, {}, {}};
  const WhenLocked weak{1000, true, {}, -1250, {}, {}};
  // {behaviour, ms, the locked cell's RSRP or none for no LTE service}
  const std::tuple<WhenLocked, uint64_t, std::optional<int16_t>> rows[] = {
      {fails, 5999, -970}, {fails, 6000, std::nullopt}, {weak, 6000, -1250}};
  for (const auto& [when, now_ms, rsrp] : rows) {
    Cells base = default_scenario().cells;
    base.lte_inter->frequencies[0].cells[0].when_locked = when;  // 2000/41
    Locks locks;
    locks.lte_pci = {1, 2000, 41};
    const Cells view = radio_view(base, locks, std::nullopt, std::nullopt, {now_ms, 5000});
    ASSERT_EQ(rsrp.has_value(), view.lte_intra.has_value()) << now_ms << " ms";
    EXPECT_EQ(rsrp.has_value(), view.lte_inter.has_value()) << now_ms << " ms";
    if (rsrp) {
      EXPECT_EQ(*rsrp, view.lte_intra->cells[0].rsrp) << now_ms << " ms";
    }
  }
}

// A lock names its EARFCN by all 32 bits: 66436 is not 900 (66436 - 65536).
TEST(RadioView, LockedChannelsKeepTheirFullWidth) {
  Cells base = default_scenario().cells;
  auto& f = base.lte_inter->frequencies[1];
  f.earfcn = 900;
  f.cells[0] = {41, -80, -780, -520, 43, std::nullopt, WhenLocked{0, true, {}, -1240, {}, {}}};
  const std::pair<uint32_t, std::optional<int16_t>> rows[] = {{900, -1240}, {66436, std::nullopt}};
  for (const auto& [earfcn, rsrp] : rows) {
    Locks locks;
    locks.lte_pci = {1, earfcn, 41};
    const Cells view = radio_view(base, locks, std::nullopt);
    ASSERT_EQ(rsrp.has_value(), view.lte_intra.has_value()) << earfcn;
    if (rsrp) {
      EXPECT_EQ(*rsrp, view.lte_intra->cells[0].rsrp);
    }
  }
}

RadioSettings lte_bands(BandSet enabled) {
  RadioSettings settings;
  settings.lte = {{2, 4, 12}, std::move(enabled)};
  return settings;
}

// The default cells by band: 5110 (12) serving, 2000 (4: 41 at -970, 402)
// and 850 (2: 133 at -990); WCDMA's LTE neighbours on 5110 and 2000.
TEST(RadioView, DisabledLteBandsLeaveTheReport) {
  struct Row {
    const char* what;
    RadioSettings settings;
    std::pair<uint32_t, uint32_t> serving;
    std::vector<uint16_t> inter;  // the inter-frequency EARFCNs left
  };
  RadioSettings locked = lte_bands({2, 4});
  locked.locks.lte_pci = {1, 5110, 312};
  RadioSettings none = lte_bands({7});
  none.lte.supported.insert(7);
  RadioSettings unsupported = lte_bands({2});
  unsupported.lte.supported = {2, 12};  // band 4 is not the modem's: its cells stay
  const Row rows[] = {
      {"every band", lte_bands({2, 4, 12}), {5110, 257}, {2000, 850}},
      {"serving band off: the strongest allowed cell", lte_bands({2, 4}), {2000, 41}, {850}},
      {"only band 2", lte_bands({2}), {850, 133}, {}},
      {"no band with cells", none, {0, 0}, {}},
      {"a lock on a cell of a disabled band", locked, {0, 0}, {}},
      {"a band the modem does not list", unsupported, {2000, 41}, {850}},
  };
  const Cells base = default_scenario().cells;
  for (const auto& row : rows) {
    const Cells view = radio_view(base, row.settings);
    EXPECT_EQ(row.serving, lte_serving(view)) << row.what;
    std::vector<uint16_t> inter;
    if (view.lte_inter) {
      for (const auto& f : view.lte_inter->frequencies) inter.push_back(f.earfcn);
    }
    EXPECT_EQ(row.inter, inter) << row.what;
    if (!view.lte_intra) {
      EXPECT_FALSE(view.lte_inter || view.lte_gsm || view.lte_wcdma) << row.what;
    }
  }
  const Cells two = radio_view(base, lte_bands({2, 12}));
  ASSERT_EQ(1u, two.wcdma_lte->cells.size()) << "WCDMA no longer hears 2000 (band 4)";
  EXPECT_EQ(5110, two.wcdma_lte->cells[0].earfcn);
}

// The NR cell that serves, or 0: n78 first, then n41 (weaker), then n28.
TEST(RadioView, NrFollowsItsBandsAndItsAnchor) {
  Nr5g nr;
  nr.cells = {{632628, 78, 1, 393, -105, -925, 183},
              {520110, 41, 2, 120, -125, -1010, 64},
              {151600, 28, 3, 7, -130, -1050, 20}};
  const BandSet all = {28, 41, 78};
  struct Row {
    const char* what;
    bool anchored;  // an LTE serving cell (non-standalone)
    BandSet sa, nsa;
    std::optional<uint16_t> mode;
    bool lte_locked_away = false, idle = false;
    uint32_t serving;
  };
  const Row rows[] = {
      {"standalone, every band", false, all, {}, {}, false, false, 632628},
      {"standalone without n78: the strongest other",
       false,
       {28, 41},
       all,
       {},
       false,
       false,
       520110},
      {"standalone, non-standalone bands play no part", false, all, {78}, {}, false, false, 632628},
      {"non-standalone without n78", true, all, {28, 41}, {}, false, false, 520110},
      {"non-standalone, only n28", true, {78}, {28}, {}, false, false, 151600},
      {"no NR in the mode", true, all, all, kModeLte, false, false, 0},
      {"the anchor lost", true, all, all, {}, true, false, 0},
      {"an idle leg", true, all, all, {}, false, true, 0},
  };
  for (const auto& row : rows) {
    Cells base;
    if (row.anchored) base = default_scenario().cells;
    base.nr5g = nr;
    base.nr5g->idle = row.idle;
    RadioSettings settings;
    settings.nr_sa = {all, row.sa};
    settings.nr_nsa = {all, row.nsa};
    settings.mode = row.mode;
    if (row.lte_locked_away) settings.locks.lte_pci = {1, 9999, 1};
    const Cells view = radio_view(base, settings);
    EXPECT_EQ(row.serving, view.nr5g ? view.nr5g->cells.at(0).arfcn : 0) << row.what;
  }
}

TEST(RadioView, ModePreferenceRemovesTechnologies) {
  Cells base = default_scenario().cells;
  base.geran = Geran{};
  base.cdma = Cdma{};
  const Cells lte_only = radio_view(base, {}, kModeLte);
  EXPECT_FALSE(lte_only.geran || lte_only.cdma || lte_only.umts || lte_only.wcdma_lte);
  EXPECT_TRUE(lte_only.lte_intra && lte_only.lte_inter);
  const Cells no_lte = radio_view(base, {}, kModeGsm | kModeUmts | kModeCdma1x);
  EXPECT_TRUE(no_lte.geran && no_lte.cdma && no_lte.umts);
  EXPECT_FALSE(no_lte.lte_intra || no_lte.lte_gsm);
}

}  // namespace
}  // namespace vant::sim
