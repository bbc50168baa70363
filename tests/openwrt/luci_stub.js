// A stand-in for the parts of LuCI's client API that the view uses (E, _,
// L.resource, view, rpc, poll, ui), for luci_view_test.py: it loads the view
// as LuCI's loader does, as the body of a function given the modules its
// 'require' lines name, and renders it into #view. rpc calls go, as
// JSON-RPC, to /ubus, which the test answers with the real plugin.
'use strict';
const _ = (text) => text;
function E(tag, attributes, children) {
  if (typeof attributes !== 'object' || attributes === null || Array.isArray(attributes) || attributes instanceof Node) {
    children = attributes;
    attributes = {};
  }
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (typeof value === 'function') node.addEventListener(name, value);
    else if (value !== null && value !== undefined) node.setAttribute(name, value);
  }
  for (const child of [].concat(children === undefined ? [] : children))
    if (child !== null && child !== undefined) node.append(child);
  return node;
}
const L = { resource: (path) => '/luci-static/resources/' + path };
const modules = {
  view: { extend: (prototype) => prototype },
  rpc: {
    declare: (o) => async (...args) => {
      const params = {};
      (o.params || []).forEach((name, i) => { params[name] = args[i]; });
      const reply = await fetch('/ubus', {
        method: 'POST',
        body: JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'call', params: ['0'.repeat(32), o.object, o.method, params] }),
      }).then((r) => r.json());
      if (reply.result[0] !== 0) throw new Error('ubus status ' + reply.result[0]);
      return reply.result[1];
    },
  },
  poll: { add: (fn, seconds) => setInterval(fn, seconds * 1000) },
  ui: {
    showModal: (title, children) => document.body.append(E('div', { id: 'modal' }, [E('h4', title)].concat(children))),
    hideModal: () => document.getElementById('modal').remove(),
    addNotification: (title, children, kind) => document.getElementById('notes').append(E('div', { class: 'note ' + kind }, children)),
  },
};
(async () => {
  const source = await fetch(L.resource('view/vant/modem.js')).then((r) => r.text());
  const names = [...source.matchAll(/^'require (\w+)';$/gm)].map((m) => m[1]);
  const factory = new Function('window', 'document', 'L', ...names, source);
  const view = factory(window, document, L, ...names.map((n) => modules[n]));
  document.getElementById('view').append(await view.render(await view.load()));
})();
