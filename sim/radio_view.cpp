#include "sim/radio_view.h"

#include <algorithm>
#include <cstdint>

namespace vant::sim {
namespace {

void drop_lte(Cells& c) {
  c.lte_intra.reset();
  c.lte_inter.reset();
  c.lte_gsm.reset();
  c.lte_wcdma.reset();
}

void drop_umts(Cells& c) {
  c.umts.reset();
  c.umts_cell_id.reset();
  c.wcdma_lte.reset();
}

bool has_pci(const std::vector<LteCell>& cells, uint32_t pci) {
  return std::any_of(cells.begin(), cells.end(), [&](const LteCell& c) { return c.pci == pci; });
}

// Moves the serving cell to (earfcn, pci) if the modem knows that cell.
bool camp_on(Cells& c, uint32_t earfcn, uint32_t pci) {
  auto& intra = *c.lte_intra;
  if (earfcn == intra.earfcn) {
    if (pci != intra.serving_cell_id && !has_pci(intra.cells, pci)) return false;
    intra.serving_cell_id = static_cast<uint16_t>(pci);
    return true;
  }
  if (!c.lte_inter) return false;
  for (auto& f : c.lte_inter->frequencies) {
    if (f.earfcn != earfcn || !has_pci(f.cells, pci)) continue;
    // The locked frequency becomes the serving one; the old serving frequency
    // is now heard as an inter-frequency neighbour.
    std::swap(f.cells, intra.cells);
    f.earfcn = intra.earfcn;
    intra.earfcn = static_cast<uint16_t>(earfcn);
    intra.serving_cell_id = static_cast<uint16_t>(pci);
    return true;
  }
  return false;
}

std::optional<std::pair<uint16_t, uint16_t>> strongest_allowed(const Cells& c,
                                                               const LteEarfcnLock& lock) {
  if (!c.lte_inter) return std::nullopt;
  for (const auto& f : c.lte_inter->frequencies) {
    if ((f.earfcn != lock.earfcn0 && f.earfcn != lock.earfcn1) || f.cells.empty()) continue;
    const auto best =
        std::max_element(f.cells.begin(), f.cells.end(),
                         [](const LteCell& a, const LteCell& b) { return a.rsrp < b.rsrp; });
    return std::make_pair(f.earfcn, best->pci);
  }
  return std::nullopt;
}

int16_t clamp16(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

void drift_cells(std::vector<LteCell>& cells, const std::optional<Drift>& common, uint64_t now_ms) {
  for (auto& cell : cells) {
    const auto& drift = cell.drift ? cell.drift : common;
    if (!drift) continue;
    cell.rsrq = clamp16(cell.rsrq + drift_offset(drift->rsrq, *drift, now_ms));
    cell.rsrp = clamp16(cell.rsrp + drift_offset(drift->rsrp, *drift, now_ms));
    cell.rssi = clamp16(cell.rssi + drift_offset(drift->rssi, *drift, now_ms));
    cell.srx_lev = clamp16(cell.srx_lev + drift_offset(drift->srx_lev, *drift, now_ms));
    cell.snr = clamp16(cell.snr + drift_offset(drift->snr, *drift, now_ms));
  }
}

void apply_drift(Cells& c, const std::optional<Drift>& common, uint64_t now_ms) {
  if (c.lte_intra) drift_cells(c.lte_intra->cells, common, now_ms);
  if (c.lte_inter) {
    for (auto& f : c.lte_inter->frequencies) drift_cells(f.cells, common, now_ms);
  }
}

// The locked cell, now serving, loses service or changes its measurements
// once the lock has been in force long enough.
void apply_when_locked(Cells& c, const LtePciLock& lock, RadioClock clock) {
  auto& cells = c.lte_intra->cells;
  const auto cell =
      std::find_if(cells.begin(), cells.end(), [&](const LteCell& x) { return x.pci == lock.pci; });
  if (cell == cells.end() || !cell->when_locked) return;
  const WhenLocked& when = *cell->when_locked;
  if (clock.now_ms < clock.lte_pci_locked_ms + when.after_ms) return;
  if (!when.service) {
    drop_lte(c);
    return;
  }
  cell->rsrq = when.rsrq.value_or(cell->rsrq);
  cell->rsrp = when.rsrp.value_or(cell->rsrp);
  cell->rssi = when.rssi.value_or(cell->rssi);
  cell->srx_lev = when.srx_lev.value_or(cell->srx_lev);
  cell->snr = when.snr.value_or(cell->snr);
}

void apply_lte_locks(Cells& c, const Locks& locks, RadioClock clock) {
  if (!c.lte_intra) return;
  const auto& band = locks.lte_earfcn;
  const bool band_locked = band.status == 1;
  auto allowed = [&](uint32_t earfcn) {
    return !band_locked || earfcn == band.earfcn0 || earfcn == band.earfcn1;
  };
  if (locks.lte_pci.status == 1) {
    const auto& cell = locks.lte_pci;
    if (!allowed(cell.earfcn) || !camp_on(c, cell.earfcn, cell.pci)) {
      drop_lte(c);
    } else {
      apply_when_locked(c, cell, clock);
    }
    return;
  }
  if (allowed(c.lte_intra->earfcn)) return;
  const auto target = strongest_allowed(c, band);
  if (!target || !camp_on(c, target->first, target->second)) drop_lte(c);
}

void apply_wcdma_lock(Cells& c, const WcdmaLock& lock) {
  if (lock.status != 1 || !c.umts || c.umts->uarfcn == lock.uarfcn) return;
  auto& u = *c.umts;
  const auto it = std::find_if(u.instances.begin(), u.instances.end(),
                               [&](const UmtsInstance& i) { return i.uarfcn == lock.uarfcn; });
  if (it == u.instances.end()) {
    drop_umts(c);
    return;
  }
  // The neighbour becomes the serving cell and the old serving cell a neighbour.
  UmtsInstance old_serving{u.uarfcn, u.psc, u.rscp, u.ecio};
  u.uarfcn = it->uarfcn;
  u.psc = it->psc;
  u.rscp = it->rscp;
  u.ecio = it->ecio;
  *it = old_serving;
}

void apply_mode_preference(Cells& c, uint16_t mode) {
  if (!(mode & kModeGsm)) c.geran.reset();
  if (!(mode & (kModeCdma1x | kModeCdmaHdr))) c.cdma.reset();
  if (!(mode & kModeUmts)) drop_umts(c);
  if (!(mode & kModeLte)) drop_lte(c);
  if (!(mode & kModeNr5g)) c.nr5g.reset();
}

// LTE cells of disabled bands go; the serving cell moves to the strongest
// allowed one or LTE service is lost.
void apply_lte_bands(Cells& c, const BandFilter& filter) {
  auto allowed = [&](uint32_t earfcn) { return filter.allows(lte_band_of_earfcn(earfcn)); };
  if (c.lte_intra && !allowed(c.lte_intra->earfcn)) {
    const LteInterFrequency* best_frequency = nullptr;
    const LteCell* best = nullptr;
    if (c.lte_inter) {
      for (const auto& f : c.lte_inter->frequencies) {
        if (!allowed(f.earfcn)) continue;
        for (const auto& cell : f.cells) {
          if (!best || cell.rsrp > best->rsrp) {
            best = &cell;
            best_frequency = &f;
          }
        }
      }
    }
    if (!best || !camp_on(c, best_frequency->earfcn, best->pci)) {
      drop_lte(c);
    }
  }
  if (c.lte_inter) {
    auto& f = c.lte_inter->frequencies;
    f.erase(std::remove_if(f.begin(), f.end(),
                           [&](const LteInterFrequency& x) { return !allowed(x.earfcn); }),
            f.end());
  }
  if (c.wcdma_lte) {
    auto& cells = c.wcdma_lte->cells;
    cells.erase(std::remove_if(cells.begin(), cells.end(),
                               [&](const WcdmaLteCell& x) { return !allowed(x.earfcn); }),
                cells.end());
  }
}

// The NR cell that serves: the first while its band is allowed, else the
// strongest allowed one; none, no NR.
void apply_nr(Cells& c, const BandFilter& filter, bool nsa) {
  if (!c.nr5g) return;
  auto& cells = c.nr5g->cells;
  if ((nsa && (!c.lte_intra || c.nr5g->idle)) || cells.empty()) {
    c.nr5g.reset();
    return;
  }
  if (filter.allows(cells.front().band)) {
    cells.resize(1);
    return;
  }
  const NrCell* best = nullptr;
  for (const auto& cell : cells) {
    if (filter.allows(cell.band) && (!best || cell.rsrp > best->rsrp)) best = &cell;
  }
  if (!best) {
    c.nr5g.reset();
    return;
  }
  const NrCell serving = *best;
  cells.assign(1, serving);
}

}  // namespace

int32_t drift_offset(int16_t amplitude, const Drift& drift, uint64_t now_ms) {
  if (drift.period_ms == 0 || amplitude == 0) return 0;
  const int64_t period = drift.period_ms;
  // Four quarter periods: up to +amplitude, down through 0 to -amplitude, back to 0.
  const int64_t u = static_cast<int64_t>((now_ms + drift.phase_ms) % drift.period_ms) * 4;
  int64_t scaled = 0;
  if (u < period) {
    scaled = u;
  } else if (u < 3 * period) {
    scaled = 2 * period - u;
  } else {
    scaled = u - 4 * period;
  }
  return static_cast<int32_t>(amplitude * scaled / period);
}

Cells radio_view(const Cells& base, const RadioSettings& settings) {
  Cells view = base;
  if (settings.mode) apply_mode_preference(view, *settings.mode);
  apply_drift(view, settings.drift, settings.clock.now_ms);
  apply_lte_bands(view, settings.lte);
  apply_lte_locks(view, settings.locks, settings.clock);
  apply_wcdma_lock(view, settings.locks.wcdma);
  const bool nsa = non_standalone(base);
  apply_nr(view, nsa ? settings.nr_nsa : settings.nr_sa, nsa);
  return view;
}

Cells radio_view(const Cells& base, const Locks& locks, std::optional<uint16_t> mode_preference,
                 const std::optional<Drift>& drift, RadioClock clock) {
  RadioSettings settings;
  settings.locks = locks;
  settings.mode = mode_preference;
  settings.drift = drift;
  settings.clock = clock;
  return radio_view(base, settings);
}

}  // namespace vant::sim
