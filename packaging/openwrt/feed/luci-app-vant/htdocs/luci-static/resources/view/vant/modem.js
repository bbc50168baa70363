'use strict';
'require view';
'require rpc';
'require poll';
'require ui';

// The cellular modem in LuCI: vant's JSON documents through the rpcd plugin
// "vant" (docs/openwrt.md), drawn by the web page's own render.js. Every
// change is held by the daemon and undone unless it is confirmed in time.

// The plugin's methods and the arguments each is sent, in this order.
const METHODS = {
	cells: [], signal: [], lock: [], bands: [], pending: [], device: [], operators: [],
	scan: [],
	set_lock: ['kind', 'uarfcn', 'earfcn0', 'earfcn1', 'earfcn', 'pci', 'revert_after'],
	set_bands: ['action', 'lte', 'nr', 'nr_sa', 'nr_nsa', 'revert_after'],
	best_cell: ['min_rsrp', 'revert_after'],
	confirm: [],
	revert: []
};
const calls = {};
for (const [method, params] of Object.entries(METHODS))
	calls[method] = rpc.declare({ object: 'vant', method: method, params: params, reject: true });

// An answer with an error is thrown, as the page's failed fetches are.
async function ask(method, fields) {
	const doc = await calls[method](...METHODS[method].map((p) => (fields || {})[p]));
	if (doc && doc.error) {
		const error = new Error(doc.error);
		error.doc = doc;
		throw error;
	}
	return doc;
}

// render.js is a plain script shared with the page, not a LuCI class.
function loadRenderer() {
	if (window.VantRender) return Promise.resolve(window.VantRender);
	document.head.appendChild(E('link', { rel: 'stylesheet', href: L.resource('vant/render.css') }));
	return new Promise((resolve, reject) => {
		const script = E('script', { src: L.resource('vant/render.js') });
		script.onload = () => resolve(window.VantRender);
		script.onerror = () => reject(new Error('cannot load vant/render.js'));
		document.head.appendChild(script);
	});
}

const KEEP_MS = 60 * 60 * 1000, LEAST_MS = 2 * 60 * 1000;

return view.extend({
	load: loadRenderer,

	render: function(R) {
		this.R = R;
		this.history = [];
		this.operatorNames = {};
		this.cellRows = [];
		this.sort = { key: 'rsrp_dbm', dir: -1 };
		this.deadline = 0;
		const field = (name, label, min, max, value) => E('label', { class: 'vant-field' }, [label + ' ',
			E('input', { type: 'number', name: name, min: min, max: max, value: value || '', class: 'cbi-input-text' })]);
		const button = (label, handler, style) => E('button', { class: 'btn cbi-button ' + (style || 'cbi-button-action'), click: handler }, label);

		this.node = E('div', { class: 'vant' }, [
			E('h2', _('Cellular modem')),
			E('p', { id: 'vant-device', class: 'cbi-section-descr' }, '…'),
			E('div', { id: 'vant-pending', class: 'alert-message warning', hidden: true }, [
				E('strong', _('Change applied:')), ' ', E('span', { id: 'vant-pending-label' }), '. ',
				_('It is undone in'), ' ', E('strong', { id: 'vant-countdown' }, '–'), ' ', _('unless you confirm it.'), ' ',
				button(_('Confirm'), () => this.settle('confirm', _('Kept.')), 'cbi-button-positive'),
				' ',
				button(_('Revert now'), () => this.settle('revert', _('Undone.')), 'cbi-button-negative')
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('Status')),
				E('dl', { id: 'vant-status', class: 'facts' }),
				E('div', { id: 'vant-meters' })
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('Signal (since this page opened)')),
				E('div', { id: 'vant-chart', class: 'chart' })
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('Lock')),
				E('dl', { id: 'vant-lock', class: 'facts' }),
				E('p', {}, field('revert_after', _('Undo unless confirmed within (s)'), 10, 3600, 60)),
				E('form', { id: 'vant-cell-lock' }, [
					field('earfcn', 'EARFCN', 0, 262143), ' ', field('pci', 'PCI', 0, 503), ' ',
					button(_('Lock to cell'), (ev) => this.submitCellLock(ev))
				]),
				E('form', { id: 'vant-channel-lock' }, [
					E('select', { name: 'kind', class: 'cbi-input-select', change: (ev) => this.showChannelKind(ev.target.value) }, [
						E('option', { value: 'lte-earfcn' }, _('LTE EARFCN pair')),
						E('option', { value: 'wcdma' }, _('WCDMA UARFCN'))
					]), ' ',
					E('span', { class: 'lte' }, [field('earfcn0', 'EARFCN 0', 0, 262143), ' ', field('earfcn1', 'EARFCN 1', 0, 262143)]),
					E('span', { class: 'wcdma', hidden: true }, field('uarfcn', 'UARFCN', 0, 16383)), ' ',
					button(_('Lock to channel'), (ev) => this.submitChannelLock(ev))
				]),
				E('p', {}, [
					field('min_rsrp', _('Lowest RSRP (dBm)'), -140, -44, -110), ' ',
					button(_('Lock to the best cell'), () => this.change('best_cell', { min_rsrp: this.value('min_rsrp') })), ' ',
					button(_('Clear the lock'), () => this.change('set_lock', { kind: 'clear' }), 'cbi-button-reset')
				])
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('Bands')),
				E('form', { id: 'vant-bands', submit: (ev) => { ev.preventDefault(); this.submitBands(); } }, E('p', '…'))
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('LTE cells heard')),
				E('p', { class: 'cbi-section-descr' }, _('Click a cell to lock the modem to it.')),
				E('table', { id: 'vant-cells', class: 'table' }, [
					E('thead', {}, E('tr', {}, R.CELL_COLUMNS.map(([key, title]) =>
						E('th', { 'data-key': key, click: () => this.sortBy(key) }, title)))),
					E('tbody')
				])
			]),
			E('div', { class: 'cbi-section' }, [
				E('h3', _('Operators')),
				button(_('Scan for networks'), () => this.scan()),
				' ', E('span', { id: 'vant-scan-progress' }),
				E('table', { id: 'vant-operators', class: 'table', hidden: true }, [
					E('thead', {}, E('tr', {}, [_('Operator'), 'MCC MNC', 'RAT', _('State')].map((t) => E('th', {}, t)))),
					E('tbody')
				])
			])
		]);

		ask('device').then((d) => {
			this.$('#vant-device').textContent = `${d.model} · firmware ${d.firmware_revision} · IMEI ${d.imei}`;
		}).catch((e) => { this.$('#vant-device').textContent = 'device: ' + e.message; });
		this.refreshSettings();
		this.poll();
		poll.add(() => this.poll(), 5);
		window.setInterval(() => this.tick(), 250);
		window.addEventListener('resize', () => this.drawChart());
		return this.node;
	},

	$: function(selector) { return this.node.querySelector(selector); },
	value: function(name) { return this.node.querySelector(`[name=${name}]`).value; },
	say: function(text, error) { ui.addNotification(null, E('p', text), error ? 'danger' : 'info'); },

	// ---- Polling -----------------------------------------------------------
	poll: async function() {
		const R = this.R;
		try {
			const cells = await ask('cells');
			let signal = null;
			try { signal = await ask('signal'); } catch (e) { /* an older modem: the cell report's own figures */ }
			R.facts(this.$('#vant-status'), R.statusRows(cells, this.operatorNames));
			const sample = R.signalSample(cells, signal, Date.now());
			this.$('#vant-meters').replaceChildren(...R.meters(sample, cells, signal));
			this.history.push(sample);
			while (this.history.length && this.history[0].t < sample.t - KEEP_MS) this.history.shift();
			this.drawChart();
			this.cellRows = R.cellList(cells);
			this.drawCells();
		} catch (e) {
			R.facts(this.$('#vant-status'), [[_('No answer'), e.message]]);
		}
		await this.pollPending();
	},
	pollPending: async function() {
		try { this.showPending((await ask('pending')).pending); } catch (e) { /* shown by the status */ }
	},
	refreshSettings: async function() {
		const R = this.R;
		try { R.facts(this.$('#vant-lock'), R.lockRows(await ask('lock'))); } catch (e) { R.facts(this.$('#vant-lock'), [[_('Lock'), e.message]]); }
		try { this.renderBands(await ask('bands')); } catch (e) { this.$('#vant-bands').replaceChildren(E('p', _('Bands unavailable: ') + e.message)); }
	},

	// ---- Drawing -----------------------------------------------------------
	drawChart: function() {
		const now = Date.now(), windowMs = Math.max(LEAST_MS, this.history.length ? now - this.history[0].t : 0);
		const box = this.$('#vant-chart');
		box.replaceChildren(this.R.chart(this.history, now, windowMs, box.clientWidth));
	},
	drawCells: function() {
		for (const th of this.node.querySelectorAll('#vant-cells th'))
			th.setAttribute('aria-sort', th.dataset.key === this.sort.key ? (this.sort.dir > 0 ? 'ascending' : 'descending') : 'none');
		this.$('#vant-cells tbody').replaceChildren(...this.R.sortCells(this.cellRows, this.sort).map((c) => this.R.cellRow(c, (earfcn, pci) => this.offerCellLock(earfcn, pci))));
	},
	sortBy: function(key) {
		this.sort = { key: key, dir: this.sort.key === key ? -this.sort.dir : -1 };
		this.drawCells();
	},
	renderBands: function(doc) {
		this.bandsDoc = doc;
		const parts = this.R.bandFieldsets(doc);
		if (!parts.length) parts.push(E('p', _('The modem reports no bands to choose from.')));
		else parts.push(E('p', {}, [
			E('button', { type: 'submit', class: 'btn cbi-button cbi-button-apply' }, _('Apply bands')), ' ',
			E('button', { type: 'button', class: 'btn cbi-button cbi-button-reset', click: () => this.change('set_bands', { action: 'reset' }) }, _('Enable all'))
		]));
		this.$('#vant-bands').replaceChildren(...parts);
	},
	showPending: function(p) {
		const banner = this.$('#vant-pending');
		if (!p) { banner.hidden = true; this.deadline = 0; return; }
		banner.hidden = false;
		banner.dataset.state = p.state;
		this.$('#vant-pending-label').textContent = p.label;
		this.deadline = Date.now() + p.seconds_left * 1000;
		for (const b of banner.querySelectorAll('button')) b.hidden = this.R.isUndoing(p.state);
		this.tick();
	},
	tick: function() {
		if (!this.deadline) return;
		const left = Math.max(0, Math.ceil((this.deadline - Date.now()) / 1000));
		this.$('#vant-countdown').textContent = this.R.countdownText(this.$('#vant-pending').dataset.state, left);
	},

	// ---- Changes -----------------------------------------------------------
	revertAfter: function() {
		return Math.max(10, Math.min(3600, parseInt(this.value('revert_after'), 10) || 60));
	},
	change: async function(method, fields) {
		if (this.changing) return;
		this.changing = true;
		try {
			const doc = await ask(method, Object.assign({}, fields, { revert_after: this.revertAfter() }));
			const held = doc.pending || (doc.lock && doc.lock.pending);
			if (held) this.showPending(held);
			this.say(_('Sent. Confirm it before the countdown ends, or it is undone.'));
		} catch (e) {
			this.say(_('Not changed: ') + e.message, true);
		} finally {
			this.changing = false;
			this.refreshSettings();
			this.pollPending();
		}
	},
	settle: async function(method, done) {
		try { await ask(method); this.showPending(null); this.say(done); } catch (e) { this.say(e.message, true); }
		this.pollPending();
		this.refreshSettings();
	},
	offerCellLock: function(earfcn, pci) {
		ui.showModal(_('Lock to a cell'), [
			E('p', `Lock the modem to the cell PCI ${pci} on EARFCN ${earfcn}? It is undone after ${this.revertAfter()} s unless you confirm it.`),
			E('div', { class: 'right' }, [
				E('button', { class: 'btn cbi-button', click: ui.hideModal }, _('Cancel')), ' ',
				E('button', { class: 'btn cbi-button cbi-button-positive', click: () => {
					ui.hideModal();
					this.change('set_lock', { kind: 'lte-pci', earfcn: earfcn, pci: pci });
				} }, _('Lock'))
			])
		]);
	},
	submitCellLock: function(ev) {
		ev.preventDefault();
		this.change('set_lock', { kind: 'lte-pci', earfcn: this.value('earfcn'), pci: this.value('pci') });
	},
	showChannelKind: function(kind) {
		this.$('#vant-channel-lock .lte').hidden = kind === 'wcdma';
		this.$('#vant-channel-lock .wcdma').hidden = kind !== 'wcdma';
	},
	submitChannelLock: function(ev) {
		ev.preventDefault();
		const kind = this.value('kind');
		this.change('set_lock', kind === 'wcdma' ? { kind: kind, uarfcn: this.value('uarfcn') }
			: { kind: kind, earfcn0: this.value('earfcn0'), earfcn1: this.value('earfcn1') });
	},
	submitBands: function() {
		const asked = this.R.bandChange(this.$('#vant-bands'), this.bandsDoc);
		if (asked.problem) return this.say(asked.problem, true);
		if (!asked.fields) return this.say(_('No band was changed'));
		this.change('set_bands', asked.fields);
	},

	// ---- The operator scan: started, then its state read until it ends -----
	scan: async function() {
		const progress = this.$('#vant-scan-progress');
		try {
			await ask('scan');
		} catch (e) {
			if (!e.doc || !/already running/.test(e.doc.error)) return this.say(_('Scan failed: ') + e.message, true);
		}
		for (;;) {
			const state = await ask('operators').catch((e) => ({ state: 'failed', result: { error: e.message } }));
			if (state.state !== 'running') return this.showOperators(state);
			progress.textContent = `scanning: ${state.seconds === undefined ? '…' : state.seconds} s (up to 5 min)`;
			await new Promise((resolve) => window.setTimeout(resolve, 2000));
		}
	},
	showOperators: function(state) {
		this.$('#vant-scan-progress').textContent = '';
		const result = state.result || {};
		if (state.state !== 'done' || result.error) return this.say(_('Scan failed: ') + (result.error || state.state), true);
		const table = this.$('#vant-operators');
		table.hidden = false;
		table.querySelector('tbody').replaceChildren(...this.R.operatorRows(result, this.operatorNames));
		this.say(result.operators.length + ' networks found');
	},

	handleSaveApply: null,
	handleSave: null,
	handleReset: null
});
