// What the modem page and the LuCI view draw alike: status, signal bars,
// the signal chart, the cells heard, the lock, band checkboxes and the
// countdown, each from vant's JSON documents (docs/json.md). Pure: nothing
// here fetches or keeps state; the callers own the page and its events.
// A plain script, loaded before the page's own; it defines VantRender.
'use strict';
window.VantRender = (() => {
  function el(tag, attributes, ...children) {
    const node = document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {})) node.setAttribute(k, v);
    for (const c of children) node.append(c === null || c === undefined ? '' : c);
    return node;
  }
  const fmt = (v, unit) => (v === null || v === undefined ? '–' : (Number.isInteger(v) ? v : v.toFixed(1)) + (unit ? ' ' + unit : ''));
  function facts(dl, pairs) {
    dl.replaceChildren(...pairs.flatMap(([k, v]) => [el('dt', {}, k), el('dd', {}, v)]));
  }

  // ---- Status ---------------------------------------------------------------
  const SCALES = {   // the range a bar spans, and where fair and good begin
    rsrp: [-140, -44, -100, -85], rsrq: [-20, -3, -15, -10], sinr: [-10, 30, 0, 13],
  };
  function meter(name, value, unit, scale) {
    const [lo, hi, fair, good] = SCALES[scale];
    const share = value === null || value === undefined ? 0 : Math.max(0, Math.min(1, (value - lo) / (hi - lo)));
    const quality = value >= good ? 'good' : value >= fair ? 'fair' : 'poor';
    return el('div', { class: 'meter', 'data-meter': name },
      el('span', {}, name), el('span', { class: 'bar' }, el('i', { class: quality, style: 'width:' + (share * 100).toFixed(0) + '%' })),
      el('span', {}, fmt(value, unit)));
  }
  function bandText(b) {
    const prefix = { lte: 'B', nr5g: 'n', umts: 'UMTS ', gsm: 'GSM ' }[b.technology] || '';
    return (b.band === null ? b.technology.toUpperCase() : prefix + b.band) + ' (ch ' + b.channel + ')';
  }
  // The status facts of a cell report; operatorNames maps "MCC-MNC" to a name.
  function statusRows(cells, operatorNames) {
    const lte = cells.lte && cells.lte.serving, nr = cells.nr5g, umts = cells.umts && cells.umts.serving;
    const gsm = cells.gsm && cells.gsm.serving, serving = lte || umts || gsm;
    const tech = lte ? 'LTE' : umts ? 'UMTS' : gsm ? 'GSM' : nr ? 'NR5G' : 'no service';
    const plmn = serving || nr || {};
    const name = (operatorNames || {})[plmn.mcc + '-' + plmn.mnc];
    const rows = [
      ['Operator', plmn.mcc ? (name ? name + ' ' : '') + '(' + plmn.mcc + ' ' + plmn.mnc + ')' : '–'],
      ['Technology', tech + (nr && lte ? ' + NR5G (NSA)' : '')],
      ['Band', (cells.bands || []).map(bandText).join(', ') || '–'],
    ];
    if (lte) rows.push(['Serving cell', 'PCI ' + lte.pci + ', EARFCN ' + lte.earfcn], ['TAC', lte.tac],
      ['Cell id', lte.global_cell_id + ' (0x' + lte.global_cell_id.toString(16).toUpperCase() + ')']);
    else if (umts) rows.push(['Serving cell', 'PSC ' + umts.psc + ', UARFCN ' + umts.uarfcn], ['LAC', umts.lac], ['Cell id', umts.cell_id]);
    else if (gsm) rows.push(['Serving cell', 'ARFCN ' + gsm.arfcn + ', BSIC ' + gsm.bsic], ['LAC', gsm.lac], ['Cell id', gsm.cell_id]);
    if (nr) rows.push(['NR5G cell', 'PCI ' + nr.pci + ', NR-ARFCN ' + fmt(nr.nr_arfcn)], ['NR5G TAC', nr.tac]);
    return rows;
  }
  // One point of the chart: LTE's signal, else the cell report's own figures
  // (an older modem without the signal report).
  function signalSample(cells, signal, t) {
    const lte = cells.lte && cells.lte.serving, s = (signal && signal.lte) || {};
    return { t, rsrp: s.rsrp_dbm ?? (lte ? lte.rsrp_dbm : null), rsrq: s.rsrq_db ?? (lte ? lte.rsrq_db : null), sinr: s.sinr_db ?? null };
  }
  function meters(sample, cells, signal) {
    const n = (signal && signal.nr5g) || cells.nr5g || null;
    const shown = [meter('RSRP', sample.rsrp, 'dBm', 'rsrp'), meter('RSRQ', sample.rsrq, 'dB', 'rsrq'), meter('SINR', sample.sinr, 'dB', 'sinr')];
    if (n && (n.rsrp_dbm !== null || n.sinr_db !== null))
      shown.push(el('h3', {}, 'NR5G'), meter('RSRP', n.rsrp_dbm, 'dBm', 'rsrp'), meter('RSRQ', n.rsrq_db, 'dB', 'rsrq'), meter('SINR', n.sinr_db, 'dB', 'sinr'));
    return shown;
  }

  // ---- The chart: one pane per measure, hand-drawn SVG ----------------------
  const SVG = 'http://www.w3.org/2000/svg';
  function svg(tag, attributes, text) {
    const node = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
    if (text !== undefined) node.textContent = text;
    return node;
  }
  // The samples of the last windowMs before now, drawn `width` pixels wide
  // (the box's own width, so that its text keeps its size on a phone).
  function chart(history, now, windowMs, width) {
    const W = Math.max(280, width || 800), LEFT = W < 500 ? 76 : 92;
    const PANE = 70, GAP = 18, RIGHT = 8, from = now - windowMs;
    const panes = [['rsrp', 'RSRP dBm', '#1565c0'], ['rsrq', 'RSRQ dB', '#6a1b9a'], ['sinr', 'SINR dB', '#2e7d32']];
    const root = svg('svg', { viewBox: `0 0 ${W} ${panes.length * (PANE + GAP) + 14}`, role: 'img', 'aria-label': 'signal over time' });
    const x = (t) => LEFT + (W - LEFT - RIGHT) * (t - from) / windowMs;
    const shown = history.filter((p) => p.t >= from);
    panes.forEach(([key, label, colour], i) => {
      const top = i * (PANE + GAP) + 4, values = shown.map((p) => p[key]).filter((v) => v !== null && v !== undefined);
      let lo = Math.min(...values, SCALES[key][2]), hi = Math.max(...values, SCALES[key][3]);
      lo = Math.floor(lo - 2); hi = Math.ceil(hi + 2);
      const y = (v) => top + PANE * (hi - v) / (hi - lo);
      root.append(svg('rect', { x: LEFT, y: top, width: W - LEFT - RIGHT, height: PANE, fill: '#fafbfc', stroke: '#d8dde3' }));
      root.append(svg('text', { x: 0, y: top + 12, fill: colour, 'font-weight': 600 }, label));
      for (const v of [hi, Math.round((hi + lo) / 2), lo]) {
        root.append(svg('text', { x: LEFT - 6, y: y(v) + 4, 'text-anchor': 'end' }, v));
        root.append(svg('line', { x1: LEFT, x2: W - RIGHT, y1: y(v), y2: y(v), stroke: '#e6e9ed' }));
      }
      let d = '', pen = 'M';
      for (const p of shown) {
        if (p[key] === null || p[key] === undefined) { pen = 'M'; continue; }
        d += pen + x(p.t).toFixed(1) + ' ' + y(p[key]).toFixed(1) + ' '; pen = 'L';
      }
      if (d) root.append(svg('path', { d, fill: 'none', stroke: colour, 'stroke-width': 2 }));
    });
    for (let i = 0; i <= 4; i++) {
      const ago = windowMs * (4 - i) / 4 / 60000;
      const label = i === 4 ? 'now' : ago < 1 ? '-' + Math.round(ago * 60) + ' s' : '-' + Math.round(ago * 10) / 10 + ' min';
      root.append(svg('text', { x: x(now - ago * 60000), y: panes.length * (PANE + GAP) + 8, 'text-anchor': i === 4 ? 'end' : 'middle' }, label));
    }
    return root;
  }

  // ---- Cells heard ----------------------------------------------------------
  // The LTE cells of a report: the serving frequency's, then the others'.
  function cellList(cells) {
    const lte = cells.lte || {}, s = lte.serving, rows = [];
    if (s) for (const c of lte.intra_frequency || []) rows.push({ ...c, earfcn: s.earfcn, where: c.pci === s.pci ? 'serving' : 'same channel' });
    for (const f of lte.inter_frequency || []) for (const c of f.cells || []) rows.push({ ...c, earfcn: f.earfcn, where: 'other channel' });
    return rows;
  }
  const sortCells = (rows, sort) => [...rows].sort((a, b) => (a[sort.key] < b[sort.key] ? -1 : a[sort.key] > b[sort.key] ? 1 : 0) * sort.dir);
  // A row of the table; `choose` is called with the cell's EARFCN and PCI
  // when it is clicked or Enter is pressed on it.
  function cellRow(c, choose) {
    const tr = el('tr', { class: c.where === 'serving' ? 'serving' : '', 'data-earfcn': c.earfcn, 'data-pci': c.pci, tabindex: 0 },
      ...[c.earfcn, c.pci, fmt(c.rsrp_dbm), fmt(c.rsrq_db), fmt(c.rssi_dbm), c.where].map((v) => el('td', {}, v)));
    tr.addEventListener('click', () => choose(c.earfcn, c.pci));
    tr.addEventListener('keydown', (e) => { if (e.key === 'Enter') choose(c.earfcn, c.pci); });
    return tr;
  }
  const CELL_COLUMNS = [['earfcn', 'EARFCN'], ['pci', 'PCI'], ['rsrp_dbm', 'RSRP dBm'], ['rsrq_db', 'RSRQ dB'], ['rssi_dbm', 'RSSI dBm'], ['where', 'Cell']];

  // ---- Lock -----------------------------------------------------------------
  function lockRows(lock) {
    const k = (x, text) => (x === null ? 'not reported' : x.locked ? text(x) : 'off');
    return [
      ['LTE cell', k(lock.lte_pci, (x) => `PCI ${x.pci} on EARFCN ${x.earfcn}`)],
      ['LTE channels', k(lock.lte_earfcn, (x) => `EARFCN ${x.earfcn0}, ${x.earfcn1}`)],
      ['WCDMA channel', k(lock.wcdma, (x) => `UARFCN ${x.uarfcn}`)],
    ];
  }

  // ---- Bands ----------------------------------------------------------------
  // [document key, title, band prefix, field of the change]
  const BAND_KINDS = [['lte', 'LTE', 'B', 'lte'], ['nr5g_sa', 'NR5G SA', 'n', 'nr_sa'], ['nr5g_nsa', 'NR5G NSA', 'n', 'nr_nsa']];
  // One fieldset of checkboxes per kind the modem reports, ticked as enabled.
  function bandFieldsets(doc) {
    const parts = [];
    for (const [key, title, prefix] of BAND_KINDS) {
      const kind = doc[key];
      if (!kind || !kind.supported || !kind.supported.length || kind.enabled === null) continue;
      parts.push(el('fieldset', { 'data-kind': key }, el('legend', {}, title),
        ...kind.supported.map((b) => {
          const box = el('input', { type: 'checkbox', value: b });
          box.checked = kind.enabled.includes(b);
          return el('label', {}, box, prefix + b);
        })));
    }
    return parts;
  }
  // The change the ticked boxes in `form` ask for: { fields } with the lists
  // that differ from what is enabled, { problem } when a kind has none
  // ticked, or { fields: null } when nothing changed.
  function bandChange(form, doc) {
    const fields = { action: 'set' };
    for (const [key, title, , field] of BAND_KINDS) {
      const fieldset = form.querySelector(`fieldset[data-kind=${key}]`);
      if (!fieldset) continue;
      const set = [...fieldset.querySelectorAll('input:checked')].map((b) => +b.value);
      if (!set.length) return { problem: title + ' needs at least one band' };
      if (set.join() !== [...doc[key].enabled].sort((a, b) => a - b).join()) fields[field] = set.join(',');
    }
    return { fields: Object.keys(fields).length === 1 ? null : fields };
  }

  // ---- The pending change ---------------------------------------------------
  function countdownText(state, secondsLeft) {
    return state === 'applying' ? '(being applied)' : secondsLeft > 0 && state === 'held' ? secondsLeft + ' s' : '(being undone)';
  }
  const isUndoing = (state) => state === 'restoring' || state === 'waiting_to_retry';

  // ---- Operators ------------------------------------------------------------
  // Rows of the scan's networks; their names go into operatorNames.
  function operatorRows(doc, operatorNames) {
    return doc.operators.map((o) => {
      operatorNames[o.mcc + '-' + o.mnc] = o.description;
      const state = [o.serving, o.roaming, o.forbidden ? 'forbidden' : null].filter(Boolean).join(', ');
      return el('tr', {}, ...[o.description, o.mcc + ' ' + o.mnc, o.rat || o.rat_code, state].map((v) => el('td', {}, v)));
    });
  }

  return {
    el, fmt, facts, SCALES, meter, bandText, statusRows, signalSample, meters, chart, cellList, sortCells,
    cellRow, CELL_COLUMNS, lockRows, BAND_KINDS, bandFieldsets, bandChange, countdownText, isUndoing, operatorRows,
  };
})();
