#!/usr/bin/python3
"""The web page in headless Chromium, driven by Selenium, against lighttpd,
vant-cgi and the SDK daemon on the emulator. What the page claims to have
done is checked with vant itself.

One case per process in private namespaces (ctest runs them through
tests/tools/in_netns): `web_browser_test.py Class.test_name`; `--list` names
them. Exit status 77 (skipped) when lighttpd, Chromium or Selenium is missing.
With VANT_WEB_SCREENSHOTS=DIR the desktop and phone cases save screenshots
there (docs/ keeps them)."""
import http.server
import json
import os
import shutil
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import web_stack  # noqa: E402

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
SHOTS = os.environ.get("VANT_WEB_SCREENSHOTS")
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"


class Page(unittest.TestCase):
    size = (1280, 1000)

    @classmethod
    def setUpClass(cls):
        missing = [name for name, there in (("lighttpd", web_stack.LIGHTTPD), ("chromium", CHROMIUM),
                                            ("python3-selenium", webdriver),
                                            ("chromedriver", os.path.exists(DRIVER))) if not there]
        if missing:
            raise unittest.SkipTest("not installed: " + ", ".join(missing))
        web_stack.loopback_up()
        cls.stack = web_stack.WebStack(BIN, SOURCE).start()

    @classmethod
    def tearDownClass(cls):
        cls.stack.stop()

    def setUp(self):
        self.profile = tempfile.mkdtemp(prefix="vant-chromium.")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                     "--user-data-dir=" + self.profile, "--window-size=%d,%d" % self.size):
            options.add_argument(flag)
        self.browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        self.browser.set_window_size(*self.size)

    def tearDown(self):
        if self.browser:
            self.browser.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def wait(self, condition, seconds=30, what=""):
        return WebDriverWait(self.browser, seconds, 0.2).until(lambda b: condition(), what)

    def open_page(self):
        self.browser.get(self.stack.page)
        self.wait(lambda: self.css("#status dd") and self.css("#cells tbody tr"), what="first poll")

    def css(self, selector):
        return self.browser.find_elements(By.CSS_SELECTOR, selector)

    def status(self):
        names = [e.text for e in self.css("#status dt")]
        return dict(zip(names, [e.text for e in self.css("#status dd")]))

    def modem(self, *args):
        return json.loads(self.stack.vant(*args, "--json").stdout)

    def click_cell(self, earfcn, pci):
        row = self.css(f'#cells tr[data-earfcn="{earfcn}"][data-pci="{pci}"]')[0]
        row.click()
        self.wait(lambda: self.css("#ask[open]"), what="the lock dialog")
        self.assertIn(f"PCI {pci} on EARFCN {earfcn}", self.css("#ask-text")[0].text)
        self.css("#ask button[value=ok]")[0].click()

    def countdown(self):
        self.wait(lambda: self.css("#pending")[0].is_displayed(), what="the countdown")
        return self.css("#countdown")[0].text

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            self.browser.save_screenshot(os.path.join(SHOTS, name))


class Desktop(Page):
    def test_status_shows_the_serving_cell_and_its_signal(self):
        self.open_page()
        cells = self.modem("cells")
        serving = cells["lte"]["serving"]
        status = self.status()
        self.assertEqual(f"PCI {serving['pci']}, EARFCN {serving['earfcn']}", status["Serving cell"])
        self.assertEqual(str(serving["tac"]), status["TAC"])
        self.assertTrue(status["Cell id"].startswith(str(serving["global_cell_id"])))
        self.assertIn(serving["mcc"] + " " + serving["mnc"], status["Operator"])
        rsrp = self.css('[data-meter="RSRP"] span')[-1].text
        self.assertEqual("%d dBm" % serving["rsrp_dbm"], rsrp)
        # Every cell the modem hears is a row; the chart has drawn its first points.
        heard = len(cells["lte"]["intra_frequency"]) + sum(
            len(f["cells"]) for f in cells["lte"]["inter_frequency"])
        self.assertEqual(heard, len(self.css("#cells tbody tr")))
        self.wait(lambda: len(self.css("#chart path")) >= 2, what="the chart's lines")
        # The table sorts by the column clicked, both ways.
        header = self.css('#cells th[data-key="pci"]')[0]
        header.click()
        column = [int(r.get_attribute("data-pci")) for r in self.css("#cells tbody tr")]
        self.assertEqual(sorted(column, reverse=True), column)
        header.click()
        column = [int(r.get_attribute("data-pci")) for r in self.css("#cells tbody tr")]
        self.assertEqual(sorted(column), column)
        self.shot("web-desktop.png")

    def test_a_clicked_cell_is_locked_and_kept_by_confirm(self):
        self.open_page()
        self.click_cell(2000, 402)
        left = self.countdown()
        self.assertRegex(left, r"^\d+ s$")
        self.assertGreater(int(left.split()[0]), 30)
        self.assertEqual("lock lte-pci 2000 402", self.modem("pending")["pending"]["label"])
        self.css("#confirm")[0].click()
        self.wait(lambda: not self.css("#pending")[0].is_displayed(), what="the banner to go")
        self.assertIsNone(self.modem("pending")["pending"])
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 402}, self.modem("lock")["lte_pci"])
        self.wait(lambda: "PCI 402 on EARFCN 2000" in self.css("#lock")[0].text, what="lock shown")

    def test_an_unconfirmed_lock_is_reverted_after_the_page_is_closed(self):
        before = self.modem("lock")
        self.open_page()
        field = self.css("#revert-after")[0]
        field.clear()
        field.send_keys("10")
        self.click_cell(850, 133)
        self.assertRegex(self.countdown(), r"^\d+ s$")
        self.assertEqual({"locked": True, "earfcn": 850, "pci": 133}, self.modem("lock")["lte_pci"])
        self.browser.quit()
        self.browser = None
        deadline = time.time() + 30
        while time.time() < deadline and self.modem("pending")["pending"] is not None:
            time.sleep(0.5)
        self.assertIsNone(self.modem("pending")["pending"])
        self.assertEqual(before, self.modem("lock"))

    def test_best_cell_and_revert_from_the_page(self):
        before = self.modem("lock")
        self.open_page()
        self.css("#best-cell")[0].click()
        self.countdown()
        self.assertTrue(self.modem("lock")["lte_pci"]["locked"])
        self.css("#revert")[0].click()
        self.wait(lambda: not self.css("#pending")[0].is_displayed(), what="the banner to go")
        self.assertEqual(before, self.modem("lock"))

    def test_bands_from_the_checkboxes_are_read_back(self):
        shown = self.stack.vant("bands", "--json", check=False)
        if shown.returncode != 0:
            self.skipTest("the emulator reports no bands: " + shown.stderr.strip())
        bands = json.loads(shown.stdout)
        self.open_page()
        self.wait(lambda: self.css("#bands fieldset input"), what="band checkboxes")
        kind = next(k for k in ("lte", "nr5g_sa", "nr5g_nsa")
                    if bands.get(k) and bands[k]["enabled"] and len(bands[k]["enabled"]) > 1)
        dropped = bands[kind]["enabled"][-1]
        self.css(f'#bands fieldset[data-kind="{kind}"] input[value="{dropped}"]')[0].click()
        self.css('#bands button[type="submit"]')[0].click()
        self.countdown()
        self.css("#confirm")[0].click()
        self.wait(lambda: not self.css("#pending")[0].is_displayed(), what="the banner to go")
        enabled = self.modem("bands")[kind]["enabled"]
        self.assertEqual(sorted(set(bands[kind]["enabled"]) - {dropped}), sorted(enabled))

    def test_the_operator_scan_shows_its_progress_and_networks(self):
        self.open_page()
        self.css("#scan")[0].click()
        self.wait(lambda: self.css("#operators tbody tr"), seconds=120, what="the networks")
        names = [r.find_elements(By.TAG_NAME, "td")[0].text for r in self.css("#operators tbody tr")]
        self.assertEqual([o["description"] for o in self.modem("operators")["operators"]], names)
        self.assertFalse(self.css("#scan-progress")[0].is_displayed())

    def test_a_cross_site_post_is_refused(self):
        before = self.modem("lock")
        target = self.stack.api + "/lock"
        page = f"""<!doctype html><form id="f" method="post" action="{target}">
<input name="kind" value="clear"><input name="revert_after" value="60"></form>
<script>
fetch("{target}", {{method: "POST", mode: "no-cors", body: "kind=clear&revert_after=60",
  headers: {{"Content-Type": "application/x-www-form-urlencoded"}}}})
  .finally(() => document.getElementById("f").submit());
</script>""".encode()

        class Attacker(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.end_headers()
                self.wfile.write(page)

            def log_message(self, *args):
                pass
        # Threads: an idle connection the browser opens ahead must not hold up the rest.
        server = http.server.ThreadingHTTPServer(("127.0.0.2", 0), Attacker)
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            self.open_page()  # the admin has the page open: the browser has been there
            self.browser.get("http://127.0.0.2:%d/" % server.server_port)
            self.wait(lambda: self.browser.current_url.startswith(target), what="the form post")
            answer = json.loads(self.browser.find_element(By.TAG_NAME, "body").text)
            self.assertRegex(answer["error"], "another site|must come from a page")
        finally:
            server.shutdown()
        self.assertEqual(before, self.modem("lock"))
        self.assertIsNone(self.modem("pending")["pending"])


class Phone(Page):
    size = (390, 844)

    def test_a_phone_sized_viewport_is_usable(self):
        self.open_page()
        width = self.browser.execute_script("return window.innerWidth")
        self.assertLessEqual(width, 500)
        # Nothing but the cell table's own box scrolls sideways.
        self.assertLessEqual(self.browser.execute_script(
            "return document.documentElement.scrollWidth"), width)
        for selector in ("#status", "#chart svg", ".scroll", "#scan", "#cell-lock button"):
            box = self.css(selector)[0].rect
            self.assertLessEqual(box["x"] + min(box["width"], width), width + 1, selector)
        self.shot("web-phone.png")
        self.click_cell(5110, 312)
        self.countdown()
        confirm = self.css("#confirm")[0]
        self.assertTrue(confirm.is_displayed())
        self.assertLessEqual(confirm.rect["x"] + confirm.rect["width"], width + 1)
        self.css("#revert")[0].click()
        self.wait(lambda: not self.css("#pending")[0].is_displayed(), what="the banner to go")
        self.assertIsNone(self.modem("pending")["pending"])


if __name__ == "__main__":
    python_cases.main([Desktop, Phone])
