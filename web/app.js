// The modem page: polls the API (docs/web.md), draws the signal, and sends
// changes that the daemon undoes unless they are confirmed in time.
'use strict';
const API = (document.querySelector('meta[name=vant-api]').content || 'api').replace(/\/$/, '');
// The chart shows everything since the page opened, up to an hour, and at
// least two minutes.
const POLL_MS = 5000, KEEP_MS = 60 * 60 * 1000, LEAST_MS = 2 * 60 * 1000;
const $ = (selector) => document.querySelector(selector);
let token = null, operatorNames = {}, history = [];
let cellRows = [], sort = { key: 'rsrp_dbm', dir: -1 }, bandsDoc = null, deadline = 0;

// ---- The API ----------------------------------------------------------------
async function answer(response) {
  let doc = null;
  try { doc = await response.json(); } catch (e) { /* not JSON */ }
  if (!response.ok) {
    const error = new Error((doc && doc.error) || 'HTTP ' + response.status);
    error.status = response.status; error.doc = doc;
    throw error;
  }
  return doc;
}
const get = async (what) => answer(await fetch(API + '/' + what, { cache: 'no-store', credentials: 'same-origin' }));
async function post(what, fields) {
  if (!token) token = (await get('token')).token;
  return answer(await fetch(API + '/' + what, {
    method: 'POST', credentials: 'same-origin', cache: 'no-store',
    headers: { 'X-Vant-Token': token, 'Content-Type': 'application/x-www-form-urlencoded' },
    body: new URLSearchParams(fields || {}).toString(),
  }));
}

// ---- Small helpers ----------------------------------------------------------
function el(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attributes || {})) node.setAttribute(k, v);
  for (const c of children) node.append(c === null || c === undefined ? '' : c);
  return node;
}
const fmt = (v, unit) => (v === null || v === undefined ? '–' : (Number.isInteger(v) ? v : v.toFixed(1)) + (unit ? ' ' + unit : ''));
let toastTimer = 0;
function toast(text, error) {
  const t = $('#message');
  t.textContent = text; t.className = 'toast' + (error ? ' error' : ''); t.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { t.hidden = true; }, error ? 8000 : 4000);
}
function facts(dl, pairs) {
  dl.replaceChildren(...pairs.flatMap(([k, v]) => [el('dt', {}, k), el('dd', {}, v)]));
}

// ---- Status -----------------------------------------------------------------
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
function renderStatus(cells, signal) {
  const lte = cells.lte && cells.lte.serving, nr = cells.nr5g, umts = cells.umts && cells.umts.serving;
  const gsm = cells.gsm && cells.gsm.serving, serving = lte || umts || gsm;
  const tech = lte ? 'LTE' : umts ? 'UMTS' : gsm ? 'GSM' : nr ? 'NR5G' : 'no service';
  const plmn = serving || nr || {};
  const name = operatorNames[plmn.mcc + '-' + plmn.mnc];
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
  facts($('#status'), rows);
  const s = (signal && signal.lte) || {}, n = (signal && signal.nr5g) || nr || null;
  const sample = { t: Date.now(), rsrp: s.rsrp_dbm ?? (lte ? lte.rsrp_dbm : null), rsrq: s.rsrq_db ?? (lte ? lte.rsrq_db : null), sinr: s.sinr_db ?? null };
  const meters = [meter('RSRP', sample.rsrp, 'dBm', 'rsrp'), meter('RSRQ', sample.rsrq, 'dB', 'rsrq'), meter('SINR', sample.sinr, 'dB', 'sinr')];
  if (n && (n.rsrp_dbm !== null || n.sinr_db !== null))
    meters.push(el('h3', {}, 'NR5G'), meter('RSRP', n.rsrp_dbm, 'dBm', 'rsrp'), meter('RSRQ', n.rsrq_db, 'dB', 'rsrq'), meter('SINR', n.sinr_db, 'dB', 'sinr'));
  $('#meters').replaceChildren(...meters);
  history.push(sample);
  while (history.length && history[0].t < sample.t - KEEP_MS) history.shift();
  drawChart();
}

// ---- The chart: one pane per measure, hand-drawn SVG --------------------------
const SVG = 'http://www.w3.org/2000/svg';
function svg(tag, attributes, text) {
  const node = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
  if (text !== undefined) node.textContent = text;
  return node;
}
function drawChart() {
  const now = Date.now(), windowMs = Math.max(LEAST_MS, history.length ? now - history[0].t : 0);
  // Drawn at the box's own width, so that its text keeps its size on a phone.
  const W = Math.max(280, $('#chart').clientWidth || 800), LEFT = W < 500 ? 76 : 92;
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
  $('#chart').replaceChildren(root);
}

// ---- Cells heard ------------------------------------------------------------
function renderCells(cells) {
  const lte = cells.lte || {}, s = lte.serving;
  cellRows = [];
  if (s) for (const c of lte.intra_frequency || []) cellRows.push({ ...c, earfcn: s.earfcn, where: c.pci === s.pci ? 'serving' : 'same channel' });
  for (const f of lte.inter_frequency || []) for (const c of f.cells || []) cellRows.push({ ...c, earfcn: f.earfcn, where: 'other channel' });
  drawCells();
}
function drawCells() {
  const rows = [...cellRows].sort((a, b) => (a[sort.key] < b[sort.key] ? -1 : a[sort.key] > b[sort.key] ? 1 : 0) * sort.dir);
  for (const th of document.querySelectorAll('#cells th'))
    th.setAttribute('aria-sort', th.dataset.key === sort.key ? (sort.dir > 0 ? 'ascending' : 'descending') : 'none');
  $('#cells tbody').replaceChildren(...rows.map((c) => {
    const tr = el('tr', { class: c.where === 'serving' ? 'serving' : '', 'data-earfcn': c.earfcn, 'data-pci': c.pci, tabindex: 0 },
      ...[c.earfcn, c.pci, fmt(c.rsrp_dbm), fmt(c.rsrq_db), fmt(c.rssi_dbm), c.where].map((v) => el('td', {}, v)));
    tr.addEventListener('click', () => offerCellLock(c.earfcn, c.pci));
    tr.addEventListener('keydown', (e) => { if (e.key === 'Enter') offerCellLock(c.earfcn, c.pci); });
    return tr;
  }));
}
for (const th of document.querySelectorAll('#cells th'))
  th.addEventListener('click', () => { sort = { key: th.dataset.key, dir: sort.key === th.dataset.key ? -sort.dir : -1 }; drawCells(); });

function offerCellLock(earfcn, pci) {
  const dialog = $('#ask');
  $('#ask-text').textContent = `Lock the modem to the cell PCI ${pci} on EARFCN ${earfcn}? It is undone after ${revertAfter()} s unless you confirm it.`;
  dialog.onclose = () => { if (dialog.returnValue === 'ok') change('lock', { kind: 'lte-pci', earfcn, pci }); };
  dialog.returnValue = '';
  dialog.showModal();
}

// ---- Lock and changes -------------------------------------------------------
function renderLock(lock) {
  const k = (x, text) => (x === null ? 'not reported' : x.locked ? text(x) : 'off');
  facts($('#lock'), [
    ['LTE cell', k(lock.lte_pci, (x) => `PCI ${x.pci} on EARFCN ${x.earfcn}`)],
    ['LTE channels', k(lock.lte_earfcn, (x) => `EARFCN ${x.earfcn0}, ${x.earfcn1}`)],
    ['WCDMA channel', k(lock.wcdma, (x) => `UARFCN ${x.uarfcn}`)],
  ]);
}
const revertAfter = () => Math.max(10, Math.min(3600, parseInt($('#revert-after').value, 10) || 60));
let changing = false;
async function change(what, fields) {
  if (changing) return;
  changing = true;
  document.querySelectorAll('main button').forEach((b) => { b.disabled = true; });
  try {
    const doc = await post(what, { ...fields, revert_after: revertAfter() });
    const held = doc.pending || (doc.lock && doc.lock.pending);
    if (held) showPending(held);
    toast('Sent. Confirm it before the countdown ends, or it is undone.');
  } catch (e) {
    toast('Not changed: ' + e.message, true);
  } finally {
    changing = false;
    document.querySelectorAll('main button').forEach((b) => { b.disabled = false; });
    refreshSettings();
    pollPending();
  }
}
$('#cell-lock').addEventListener('submit', (e) => {
  e.preventDefault();
  const f = e.target.elements;
  change('lock', { kind: 'lte-pci', earfcn: f.earfcn.value, pci: f.pci.value });
});
$('#channel-lock').addEventListener('submit', (e) => {
  e.preventDefault();
  const f = e.target.elements, kind = f.kind.value;
  change('lock', kind === 'wcdma' ? { kind, uarfcn: f.uarfcn.value } : { kind, earfcn0: f.earfcn0.value, earfcn1: f.earfcn1.value });
});
$('#channel-lock select').addEventListener('change', (e) => {
  const wcdma = e.target.value === 'wcdma';
  document.querySelectorAll('#channel-lock .lte').forEach((l) => { l.hidden = wcdma; });
  document.querySelector('#channel-lock .wcdma').hidden = !wcdma;
});
$('#best-cell').addEventListener('click', () => change('best-cell', { min_rsrp: $('#min-rsrp').value }));
$('#clear-lock').addEventListener('click', () => change('lock', { kind: 'clear' }));

// ---- Bands ------------------------------------------------------------------
const KINDS = [['lte', 'LTE', 'B', 'lte'], ['nr5g_sa', 'NR5G SA', 'n', 'nr_sa'], ['nr5g_nsa', 'NR5G NSA', 'n', 'nr_nsa']];
function renderBands(doc) {
  bandsDoc = doc;
  const form = $('#bands'), parts = [];
  for (const [key, title, prefix] of KINDS) {
    const kind = doc[key];
    if (!kind || !kind.supported || !kind.supported.length || kind.enabled === null) continue;
    parts.push(el('fieldset', { 'data-kind': key }, el('legend', {}, title),
      ...kind.supported.map((b) => {
        const box = el('input', { type: 'checkbox', value: b });
        box.checked = kind.enabled.includes(b);
        return el('label', {}, box, prefix + b);
      })));
  }
  if (!parts.length) parts.push(el('p', { class: 'muted' }, 'The modem reports no bands to choose from.'));
  else parts.push(el('div', { class: 'buttons' }, el('button', { type: 'submit', class: 'primary' }, 'Apply bands'),
    el('button', { type: 'button', id: 'bands-reset' }, 'Enable all')));
  form.replaceChildren(...parts);
  const reset = $('#bands-reset');
  if (reset) reset.addEventListener('click', () => change('bands', { action: 'reset' }));
}
$('#bands').addEventListener('submit', (e) => {
  e.preventDefault();
  const fields = { action: 'set' };
  for (const [key, title, , field] of KINDS) {
    const set = [...document.querySelectorAll(`#bands fieldset[data-kind=${key}] input:checked`)].map((b) => +b.value);
    if (!document.querySelector(`#bands fieldset[data-kind=${key}]`)) continue;
    if (!set.length) return toast(title + ' needs at least one band', true);
    if (set.join() !== [...bandsDoc[key].enabled].sort((a, b) => a - b).join()) fields[field] = set.join(',');
  }
  if (Object.keys(fields).length === 1) return toast('No band was changed');
  change('bands', fields);
});

// ---- The pending change -----------------------------------------------------
function showPending(p) {
  const banner = $('#pending');
  if (!p) { banner.hidden = true; deadline = 0; return; }
  banner.hidden = false;
  $('#pending-label').textContent = p.label;
  deadline = Date.now() + p.seconds_left * 1000;
  const undoing = p.state === 'restoring' || p.state === 'waiting_to_retry';
  $('#confirm').hidden = undoing;
  $('#revert').hidden = undoing;
  banner.dataset.state = p.state;
  tick();
}
function tick() {
  if (!deadline) return;
  const left = Math.max(0, Math.ceil((deadline - Date.now()) / 1000));
  const state = $('#pending').dataset.state;
  $('#countdown').textContent = state === 'applying' ? '(being applied)' : left > 0 && state === 'held' ? left + ' s' : '(being undone)';
}
setInterval(tick, 250);
async function pollPending() {
  try { showPending((await get('pending')).pending); } catch (e) { /* shown by the health line */ }
}
$('#confirm').addEventListener('click', async () => {
  try { await post('confirm'); showPending(null); toast('Kept.'); } catch (e) { toast('Not confirmed: ' + e.message, true); }
  pollPending(); refreshSettings();
});
$('#revert').addEventListener('click', async () => {
  try { await post('revert'); showPending(null); toast('Undone.'); } catch (e) { toast('Not undone: ' + e.message, true); }
  pollPending(); refreshSettings();
});

// ---- Operators --------------------------------------------------------------
$('#scan').addEventListener('click', async () => {
  const button = $('#scan'), progress = $('#scan-progress'), started = Date.now();
  button.disabled = true; progress.hidden = false;
  const show = () => {
    const s = Math.round((Date.now() - started) / 1000);
    progress.querySelector('progress').value = s;
    progress.querySelector('span').textContent = `scanning: ${s} s (up to 5 min)`;
  };
  show();
  const timer = setInterval(show, 1000);
  try {
    const doc = await get('operators');
    const table = $('#operators');
    table.hidden = false;
    table.querySelector('tbody').replaceChildren(...doc.operators.map((o) => {
      operatorNames[o.mcc + '-' + o.mnc] = o.description;
      const state = [o.serving, o.roaming, o.forbidden ? 'forbidden' : null].filter(Boolean).join(', ');
      return el('tr', {}, ...[o.description, o.mcc + ' ' + o.mnc, o.rat || o.rat_code, state].map((v) => el('td', {}, v)));
    }));
    toast(doc.operators.length + ' networks found');
  } catch (e) {
    toast('Scan failed: ' + e.message, true);
  } finally {
    clearInterval(timer); button.disabled = false; progress.hidden = true;
  }
});

// ---- Polling ----------------------------------------------------------------
async function refreshSettings() {
  try { renderLock(await get('lock')); } catch (e) { facts($('#lock'), [['Lock', e.message]]); }
  try { renderBands(await get('bands')); } catch (e) { $('#bands').replaceChildren(el('p', { class: 'muted' }, 'Bands unavailable: ' + e.message)); }
}
async function poll() {
  try {
    const cells = await get('cells');
    let signal = null;
    try { signal = await get('signal'); } catch (e) { /* an older modem: the cell report's own figures */ }
    renderStatus(cells, signal);
    renderCells(cells);
    await pollPending();
    $('#health').textContent = 'updated ' + new Date().toLocaleTimeString();
  } catch (e) {
    $('#health').textContent = 'no answer: ' + e.message;
  }
  setTimeout(poll, POLL_MS);
}
async function start() {
  try {
    const d = await get('device');
    $('#device').textContent = `${d.model} · firmware ${d.firmware_revision} · IMEI ${d.imei}`;
  } catch (e) { $('#device').textContent = 'device: ' + e.message; }
  drawChart();
  await refreshSettings();
  poll();
}
window.addEventListener('resize', drawChart);
start();
