#!/usr/bin/python3
"""The LuCI view in headless Chromium, without LuCI: luci_stub.js stands in
for LuCI's client API and loader, and a small server stands in for uhttpd's
ubus bridge and rpcd, answering each call with the real plugin vant-rpcd
against the SDK daemon on the emulator. What the view claims to have done is
checked with vant itself. How far the stand-in is from LuCI is said in
docs/openwrt.md.

One case per process in private namespaces: `luci_view_test.py
Class.test_name`; `--list` names them. Exit status 77 (skipped) when
Chromium or Selenium is missing."""
import http.server
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "web"))
import web_browser_test  # noqa: E402
from web_browser_test import BIN, SOURCE, web_stack  # noqa: E402

FILES = {  # what the server serves, as the packages install it
    "/": None,
    "/luci-stub.js": os.path.join(HERE, "luci_stub.js"),
    "/luci-static/resources/view/vant/modem.js": os.path.join(
        SOURCE, "packaging/openwrt/feed/luci-app-vant/htdocs/luci-static/resources/view/vant/modem.js"),
    "/luci-static/resources/vant/render.js": os.path.join(SOURCE, "web/render.js"),
    "/luci-static/resources/vant/render.css": os.path.join(SOURCE, "web/render.css"),
}
PAGE = b"""<!doctype html><html><head><meta charset="utf-8"></head>
<body><div id="notes"></div><div id="view"></div><script src="/luci-stub.js"></script></body></html>"""


class Bridge(http.server.BaseHTTPRequestHandler):
    """uhttpd's ubus bridge and rpcd, for the object vant only."""
    state = None

    def do_GET(self):
        if self.path not in FILES:
            return self.send_error(404)
        body = PAGE if FILES[self.path] is None else open(FILES[self.path], "rb").read()
        kind = "text/html" if self.path == "/" else \
            "text/css" if self.path.endswith(".css") else "text/javascript"
        self.reply(body, kind)

    def do_POST(self):
        request = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        session, obj, method, arguments = request["params"]
        status, answer = 2, None  # UBUS_STATUS_INVALID_ARGUMENT
        if obj == "vant":
            run = subprocess.run([os.path.join(BIN, "vant-rpcd"), "call", method],
                                 input=json.dumps({**arguments, "ubus_rpc_session": session}).encode(),
                                 capture_output=True, timeout=60,
                                 env={"VANT_RPCD_VANT": os.path.join(BIN, "vant"),
                                      "VANT_RPCD_STATE": self.state})
            status, answer = 0, json.loads(run.stdout)
        self.reply(json.dumps({"jsonrpc": "2.0", "id": request["id"],
                               "result": [status, answer]}).encode(), "application/json")

    def reply(self, body, kind):
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class View(web_browser_test.Page):
    @classmethod
    def setUpClass(cls):
        if not (web_browser_test.CHROMIUM and web_browser_test.webdriver and
                os.path.exists(web_browser_test.DRIVER)):
            raise unittest.SkipTest("chromium, chromedriver or python3-selenium is not installed")
        web_stack.loopback_up()
        cls.stack = web_stack.WebStack(BIN, SOURCE).start(serve=False)
        Bridge.state = tempfile.mkdtemp(prefix="vant-rpcd.")
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Bridge)
        cls.server.daemon_threads = True
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.stack.stop()

    def open_view(self):
        self.browser.get("http://127.0.0.1:%d/" % self.server.server_port)
        self.wait(lambda: self.css("#vant-status dd") and self.css("#vant-cells tbody tr"),
                  what="first poll")

    def test_status_and_a_clicked_cell_held_then_confirmed(self):
        self.open_view()
        serving = self.modem("cells")["lte"]["serving"]
        names = [e.text for e in self.css("#vant-status dt")]
        status = dict(zip(names, [e.text for e in self.css("#vant-status dd")]))
        self.assertEqual(f"PCI {serving['pci']}, EARFCN {serving['earfcn']}", status["Serving cell"])
        self.assertEqual("%d dBm" % serving["rsrp_dbm"], self.css('[data-meter="RSRP"] span')[-1].text)
        self.assertIn("VW-M2", self.css("#vant-device")[0].text)
        self.css('#vant-cells tr[data-earfcn="2000"][data-pci="402"]')[0].click()
        self.wait(lambda: self.css("#modal"), what="the lock dialog")
        self.assertIn("PCI 402 on EARFCN 2000", self.css("#modal")[0].text)
        [b for b in self.css("#modal button") if b.text == "Lock"][0].click()
        self.wait(lambda: self.css("#vant-pending")[0].is_displayed(), what="the countdown")
        self.assertRegex(self.css("#vant-countdown")[0].text, r"^\d+ s$")
        self.assertEqual("lock lte-pci 2000 402", self.modem("pending")["pending"]["label"])
        [b for b in self.css("#vant-pending button") if b.text == "Confirm"][0].click()
        self.wait(lambda: not self.css("#vant-pending")[0].is_displayed(), what="the banner to go")
        self.assertIsNone(self.modem("pending")["pending"])
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 402}, self.modem("lock")["lte_pci"])
        self.wait(lambda: "PCI 402 on EARFCN 2000" in self.css("#vant-lock")[0].text, what="lock shown")

    def test_the_scan_shows_the_networks(self):
        self.open_view()
        [b for b in self.css("button") if b.text == "Scan for networks"][0].click()
        self.wait(lambda: self.css("#vant-operators tbody tr"), seconds=120, what="the networks")
        names = [r.text.split("\n")[0] for r in self.css("#vant-operators tbody td:first-child")]
        self.assertEqual([o["description"] for o in self.modem("operators")["operators"]], names)
        self.assertTrue(re.search(r"\d+ networks found", self.css("#notes")[0].text))


if __name__ == "__main__":
    python_cases.main([View])
