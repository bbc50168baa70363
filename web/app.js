// The modem page: polls the API (docs/web.md), draws the signal, and sends
// changes that the daemon undoes unless they are confirmed in time. What it
// draws comes from render.js (VantRender), which the LuCI view shares.
'use strict';
const R = window.VantRender, el = R.el, facts = R.facts;
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
    // The token in the form too: uhttpd hands a CGI no X- headers.
    body: new URLSearchParams({ ...fields, token }).toString(),
  }));
}

// ---- Small helpers ----------------------------------------------------------
let toastTimer = 0;
function toast(text, error) {
  const t = $('#message');
  t.textContent = text; t.className = 'toast' + (error ? ' error' : ''); t.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { t.hidden = true; }, error ? 8000 : 4000);
}

// ---- Status -----------------------------------------------------------------
function renderStatus(cells, signal) {
  facts($('#status'), R.statusRows(cells, operatorNames));
  const sample = R.signalSample(cells, signal, Date.now());
  $('#meters').replaceChildren(...R.meters(sample, cells, signal));
  history.push(sample);
  while (history.length && history[0].t < sample.t - KEEP_MS) history.shift();
  drawChart();
}

// ---- The chart ----------------------------------------------------------------
function drawChart() {
  const now = Date.now(), windowMs = Math.max(LEAST_MS, history.length ? now - history[0].t : 0);
  $('#chart').replaceChildren(R.chart(history, now, windowMs, $('#chart').clientWidth));
}

// ---- Cells heard ------------------------------------------------------------
function renderCells(cells) {
  cellRows = R.cellList(cells);
  drawCells();
}
function drawCells() {
  for (const th of document.querySelectorAll('#cells th'))
    th.setAttribute('aria-sort', th.dataset.key === sort.key ? (sort.dir > 0 ? 'ascending' : 'descending') : 'none');
  $('#cells tbody').replaceChildren(...R.sortCells(cellRows, sort).map((c) => R.cellRow(c, offerCellLock)));
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
  facts($('#lock'), R.lockRows(lock));
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
function renderBands(doc) {
  bandsDoc = doc;
  const form = $('#bands'), parts = R.bandFieldsets(doc);
  if (!parts.length) parts.push(el('p', { class: 'muted' }, 'The modem reports no bands to choose from.'));
  else parts.push(el('div', { class: 'buttons' }, el('button', { type: 'submit', class: 'primary' }, 'Apply bands'),
    el('button', { type: 'button', id: 'bands-reset' }, 'Enable all')));
  form.replaceChildren(...parts);
  const reset = $('#bands-reset');
  if (reset) reset.addEventListener('click', () => change('bands', { action: 'reset' }));
}
$('#bands').addEventListener('submit', (e) => {
  e.preventDefault();
  const asked = R.bandChange($('#bands'), bandsDoc);
  if (asked.problem) return toast(asked.problem, true);
  if (!asked.fields) return toast('No band was changed');
  change('bands', asked.fields);
});

// ---- The pending change -----------------------------------------------------
function showPending(p) {
  const banner = $('#pending');
  if (!p) { banner.hidden = true; deadline = 0; return; }
  banner.hidden = false;
  $('#pending-label').textContent = p.label;
  deadline = Date.now() + p.seconds_left * 1000;
  const undoing = R.isUndoing(p.state);
  $('#confirm').hidden = undoing;
  $('#revert').hidden = undoing;
  banner.dataset.state = p.state;
  tick();
}
function tick() {
  if (!deadline) return;
  const left = Math.max(0, Math.ceil((deadline - Date.now()) / 1000));
  const state = $('#pending').dataset.state;
  $('#countdown').textContent = R.countdownText(state, left);
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
    table.querySelector('tbody').replaceChildren(...R.operatorRows(doc, operatorNames));
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
