#!/usr/bin/python3
"""The web API end to end: lighttpd runs vant-cgi, which runs vant against the
SDK daemon on the emulator. What is refused must change nothing on the modem,
which is read with vant itself. Also the daemon's --allow-group grant.

One case per process in private namespaces (ctest runs them through
tests/tools/in_netns): `web_api_test.py Class.test_name`; `--list` names them.
Exit status 77 (skipped) when lighttpd is missing."""
import http.client
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import web_stack  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
FORM = "application/x-www-form-urlencoded"


class Stack(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not web_stack.LIGHTTPD:
            raise unittest.SkipTest("lighttpd is not installed")
        web_stack.loopback_up()
        cls.stack = web_stack.WebStack(BIN, SOURCE).start()
        cls.host = f"{cls.stack.host}:{cls.stack.port}"

    @classmethod
    def tearDownClass(cls):
        cls.stack.stop()

    def request(self, method, path, body=None, headers=None):
        """Status, headers and JSON document of one request to the API."""
        connection = http.client.HTTPConnection(self.stack.host, self.stack.port, timeout=60)
        connection.request(method, "/vant/api" + path, body=body, headers=headers or {})
        response = connection.getresponse()
        raw = response.read()
        connection.close()
        self.assertEqual("application/json", response.getheader("Content-Type"), raw)
        return response.status, response, json.loads(raw)

    def token(self):
        status, _, doc = self.request("GET", "/token")
        self.assertEqual(200, status, doc)
        return doc["token"]

    def change(self, path, body, **headers):
        """A POST as the page sends it, with any header replaced or left out
        (None)."""
        sent = {"Origin": f"http://{self.host}", "X-Vant-Token": self.token(),
                "Content-Type": FORM, "Sec-Fetch-Site": "same-origin"}
        for name, value in headers.items():
            name = name.replace("_", "-")
            if value is None:
                sent.pop(name, None)
            else:
                sent[name] = value
        return self.request("POST", path, body=body, headers=sent)

    def modem(self, *args):
        return json.loads(self.stack.vant(*args, "--json").stdout)

    def assert_unchanged(self, lock_before):
        self.assertEqual(lock_before, self.modem("lock"))
        self.assertIsNone(self.modem("pending")["pending"])


class Api(Stack):
    def test_reads_relay_vants_documents(self):
        for path, args in (("/lock", ["lock"]), ("/device", ["device"]),
                           ("/pending", ["pending"]), ("/cells", ["cells"])):
            status, response, doc = self.request("GET", path)
            self.assertEqual(200, status, (path, doc))
            self.assertEqual("no-store", response.getheader("Cache-Control"))
            self.assertEqual(self.modem(*args), doc, path)
        # A read the modem refuses: vant's message and status, as a gateway error.
        for path, args in (("/signal", ["signal"]), ("/bands", ["bands"])):
            direct = self.stack.vant(*args, "--json", check=False)
            status, _, doc = self.request("GET", path)
            if direct.returncode == 0:
                self.assertEqual((200, json.loads(direct.stdout)), (status, doc))
            else:
                self.assertEqual(502, status)
                self.assertEqual(direct.returncode, doc["exit_status"])
                self.assertIn(doc["error"], direct.stderr)

    def test_methods_and_paths(self):
        for method, path, status, allow in (
                ("GET", "/confirm", 405, "POST"), ("GET", "/best-cell", 405, "POST"),
                ("POST", "/cells", 405, "GET"), ("PUT", "/lock", 405, "GET, POST"),
                ("DELETE", "/pending", 405, "GET"), ("GET", "/nothing", 404, None),
                ("GET", "", 404, None), ("GET", "/cells/", 404, None)):
            got, response, doc = self.request(method, path)
            self.assertEqual(status, got, (method, path))
            self.assertEqual(allow, response.getheader("Allow"), (method, path))
            self.assertIn("error", doc)

    def test_changes_are_held_then_confirmed_or_reverted(self):
        status, _, doc = self.change("/lock", "kind=lte-pci&earfcn=2000&pci=41&revert_after=120")
        self.assertEqual(200, status, doc)
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 41}, doc["lte_pci"])
        self.assertEqual("held", doc["pending"]["state"])
        self.assertEqual(120.0, doc["pending"]["revert_after_s"])
        self.assertEqual(doc["pending"]["id"], self.request("GET", "/pending")[2]["pending"]["id"])
        # One change at a time: the daemon refuses a second one.
        status, _, refused = self.change("/lock", "kind=clear&revert_after=60")
        self.assertEqual(502, status, refused)
        status, _, doc = self.change("/confirm", "", Content_Type=None)
        self.assertEqual((200, "lock lte-pci 2000 41"), (status, doc["confirmed"]["label"]))
        self.assertIsNone(self.modem("pending")["pending"])

        # best-cell: vant's ranking, and a held lock to its first cell.
        status, _, doc = self.change("/best-cell", "revert_after=60&min_rsrp=-100")
        self.assertEqual(200, status, doc)
        first = doc["best_cell"]["candidates"][0]
        self.assertEqual({"locked": True, "earfcn": first["earfcn"], "pci": first["pci"]},
                         doc["lock"]["lte_pci"])
        self.assertEqual("held", doc["lock"]["pending"]["state"])
        status, _, doc = self.change("/revert", "", Content_Type=None)
        self.assertEqual(200, status, doc)
        self.assertTrue(doc["reverted"]["restored"])
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 41}, self.modem("lock")["lte_pci"])
        status, _, doc = self.change("/revert", "", Content_Type=None)
        self.assertEqual((502, "no change is pending"), (status, doc["error"]))

    def test_operator_scan(self):
        status, _, doc = self.request("GET", "/operators")
        self.assertEqual(200, status, doc)
        self.assertEqual(self.modem("operators"), doc)


class Refusals(Stack):
    def test_cross_site_posts_are_refused(self):
        before = self.modem("lock")
        body = "kind=clear&revert_after=60"
        for headers in ({"Origin": "http://evil.example"},
                        {"Origin": "null"},
                        {"Origin": f"http://{self.host}.evil.example"},
                        {"Origin": None, "Referer": "http://evil.example/x"},
                        {"Origin": None, "Referer": None},
                        {"Sec-Fetch-Site": "cross-site"},
                        {"Sec-Fetch-Site": "same-site"}):
            status, _, doc = self.change("/lock", body, **headers)
            self.assertEqual(403, status, (headers, doc))
        # A Referer of the page itself stands in for a missing Origin.
        status, _, doc = self.change("/lock", "kind=lte-pci&earfcn=850&pci=133&revert_after=60",
                                     Origin=None, Referer=f"http://{self.host}/vant/")
        self.assertEqual(200, status, doc)
        self.change("/revert", "", Content_Type=None)
        self.assert_unchanged(before)

    def test_missing_or_wrong_token(self):
        before = self.modem("lock")
        token = self.token()
        for value in (None, "", "0" * 64, token[:-1], token + "0", token.upper()):
            status, _, doc = self.change("/lock", "kind=clear&revert_after=60", X_Vant_Token=value)
            self.assertEqual(403, status, (value, doc))
        status, _, doc = self.request("GET", "/token", headers={"Sec-Fetch-Site": "cross-site"})
        self.assertEqual(403, status, doc)
        # The form's token field (uhttpd hands a CGI no X- headers): each token given must match.
        for header, field in ((None, "0" * 64), (token, "0" * 64), ("0" * 64, token), (None, "")):
            status, _, doc = self.change("/lock", "kind=clear&revert_after=60&token=" + field,
                                         X_Vant_Token=header)
            self.assertEqual(403, status, (header, field, doc))
        self.assert_unchanged(before)
        status, _, doc = self.change("/lock", "kind=lte-pci&earfcn=850&pci=133&revert_after=60&token="
                                     + token, X_Vant_Token=None)
        self.assertEqual(200, status, doc)
        self.change("/revert", "", Content_Type=None)
        self.assert_unchanged(before)

    def test_bad_parameters(self):
        before = self.modem("lock")
        cases = {
            "/lock": ["", "kind=clear", "kind=clear&revert_after=9", "kind=clear&revert_after=3601",
                      "kind=clear&revert_after=1m", "kind=clear&revert_after=60&pci=1",
                      "kind=bogus&revert_after=60", "kind=lte-pci&earfcn=2000&revert_after=60",
                      "kind=lte-pci&earfcn=2000&pci=504&revert_after=60",
                      "kind=lte-pci&earfcn=-1&pci=1&revert_after=60",
                      "kind=lte-pci&earfcn=%2B20&pci=1&revert_after=60",
                      "kind=lte-pci&earfcn=2e3&pci=1&revert_after=60",
                      "kind=wcdma&uarfcn=16384&revert_after=60",
                      "kind=lte-earfcn&earfcn0=1&earfcn1=262144&revert_after=60",
                      "kind=clear&kind=clear&revert_after=60", "kind=clear&revert_after=60&x",
                      "kind=cl%zzear&revert_after=60", "kind=clear;rm -rf /&revert_after=60"],
            "/bands": ["action=set&revert_after=60", "action=set&lte=1,,3&revert_after=60",
                       "action=set&lte=3-1&revert_after=60", "action=set&lte=257&revert_after=60",
                       "action=set&lte=0&revert_after=60", "action=set&nr=78&nr_sa=78&revert_after=60",
                       "action=set&lte=3,&revert_after=60", "action=reset", "action=show&revert_after=60",
                       "action=set&lte=1 3&revert_after=60", "action=set&nr=513&revert_after=60"],
            "/best-cell": ["", "revert_after=60&min_rsrp=-43", "revert_after=60&min_rsrp=-90.5",
                           "revert_after=60&settle=5"],
            "/confirm": ["id=1"],
        }
        for path, bodies in cases.items():
            for body in bodies:
                status, _, doc = self.change(path, body)
                self.assertEqual(400, status, (path, body, doc))
                self.assertTrue(doc["error"], (path, body))
        # Fields go in the body only, and only as a form.
        self.assertEqual(400, self.request("POST", "/confirm?id=1", headers={
            "Origin": f"http://{self.host}", "X-Vant-Token": self.token()})[0])
        self.assertEqual(415, self.change("/lock", '{"kind": "clear"}',
                                          Content_Type="application/json")[0])
        self.assertEqual(415, self.change("/lock", "kind=clear&revert_after=60",
                                          Content_Type="text/plain")[0])
        self.assert_unchanged(before)

    def test_oversized_bodies(self):
        before = self.modem("lock")
        status, _, doc = self.change("/lock", "kind=clear&revert_after=60&" + "x" * 1100)
        self.assertEqual(413, status, doc)
        # What the web server itself refuses does not reach the CGI at all.
        connection = http.client.HTTPConnection(self.stack.host, self.stack.port, timeout=30)
        connection.request("POST", "/vant/api/lock", body="x" * (64 << 10),
                           headers={"Content-Type": FORM})
        self.assertEqual(413, connection.getresponse().status)
        connection.close()
        self.assert_unchanged(before)

    def test_a_get_never_changes(self):
        before = self.modem("lock")
        for path in ("/lock", "/bands", "/cells", "/pending", "/token"):
            status, _, doc = self.request("GET", path + "?kind=clear&revert_after=60")
            self.assertEqual(400, status, (path, doc))
        for path in ("/confirm", "/revert", "/best-cell"):
            self.assertEqual(405, self.request("GET", path)[0])
        self.assert_unchanged(before)
        # With a change held, GETs of confirm and revert neither keep nor undo it.
        status, _, doc = self.change("/lock", "kind=lte-pci&earfcn=850&pci=133&revert_after=120")
        self.assertEqual(200, status, doc)
        for path in ("/confirm", "/revert", "/confirm?x=1"):
            self.request("GET", path)
        self.assertEqual("held", self.modem("pending")["pending"]["state"])
        self.assertEqual(200, self.change("/revert", "", Content_Type=None)[0])
        self.assert_unchanged(before)

    def test_setup_and_settings_are_checked(self):
        cgi = os.path.join(BIN, "vant-cgi")
        base = {"REQUEST_METHOD": "GET", "PATH_INFO": "/token"}

        def run(**env):
            out = subprocess.run([cgi], env={**base, **env}, capture_output=True, text=True,
                                 timeout=30).stdout
            return int(out.split()[1]), json.loads(out.split("\n\n", 1)[1])
        secret = os.path.join(self.stack.dir, "open-secret")
        with open(secret, "w") as f:
            f.write("s" * 32)
        os.chmod(secret, 0o644)
        self.assertEqual(503, run(VANT_CGI_SECRET=secret)[0])  # readable by everybody
        os.chmod(secret, 0o600)
        status, doc = run(VANT_CGI_SECRET=secret)
        self.assertEqual(200, status, doc)
        status, other = run(VANT_CGI_SECRET=secret, REMOTE_USER="someone")
        self.assertNotEqual(doc["token"], other["token"])  # a token is the user's own
        self.assertEqual(503, run(VANT_CGI_SECRET="/nonexistent")[0])
        # Where the web server may be set up to ask nobody, only the users it authenticated.
        self.assertEqual(403, run(VANT_CGI_SECRET=secret, VANT_CGI_REQUIRE_USER="1")[0])
        self.assertEqual(200, run(VANT_CGI_SECRET=secret, VANT_CGI_REQUIRE_USER="1",
                                  REMOTE_USER="admin")[0])
        for bad in ({"VANT_CGI_MODEM": "12"}, {"VANT_CGI_MODEM": "1x"}, {"VANT_CGI_REQUIRE_USER": "yes"},
                    {"VANT_CGI_VANT": "vant"}, {"HTTP_ORIGIN": "x" * 5000}):
            self.assertIn(run(VANT_CGI_SECRET=secret, **bad)[0], (400, 500), bad)
        # A GET with a body (which lighttpd itself refuses) is refused here too.
        self.assertEqual(400, run(PATH_INFO="/lock", CONTENT_LENGTH="5")[0])
        # No vant there: an answer all the same.
        status, doc = run(VANT_CGI_VANT="/nonexistent/vant", PATH_INFO="/lock")
        self.assertEqual(500, status, doc)


class Packaging(unittest.TestCase):
    def test_the_lighttpd_snippet_is_accepted(self):
        if not web_stack.LIGHTTPD:
            raise unittest.SkipTest("lighttpd is not installed")
        with tempfile.TemporaryDirectory() as folder:
            conf = os.path.join(folder, "lighttpd.conf")
            snippet = os.path.join(os.path.abspath(SOURCE), "packaging/lighttpd/50-vant-web.conf")
            with open(conf, "w") as f:
                f.write(f'server.document-root = "{folder}"\ninclude "{snippet}"\n')
            result = subprocess.run([web_stack.LIGHTTPD, "-tt", "-f", conf],
                                    capture_output=True, text=True, timeout=30)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertNotIn("Warning", result.stdout + result.stderr)


class Grant(unittest.TestCase):
    """--allow-group: the daemon serves a group's members, never everyone."""

    def test_members_of_the_group_are_served(self):
        stack = web_stack.WebStack(BIN, SOURCE, modem=1, daemon_args=["--allow-group", "4242"])
        try:
            stack.start(serve=False)

            def as_user(*ids):
                return subprocess.run(["setpriv", "--reuid=33", *ids, os.path.join(BIN, "vant"),
                                       "-d", "1", "-s", "/dev/null", "device", "--json"],
                                      capture_output=True, text=True, timeout=60)
            for ids in (["--regid=4242", "--clear-groups"], ["--regid=33", "--groups=7,4242"]):
                result = as_user(*ids)
                self.assertEqual(0, result.returncode, (ids, result.stderr))
                self.assertEqual("VW-M2", json.loads(result.stdout)["model"])
            for ids in (["--regid=33", "--clear-groups"], ["--regid=33", "--groups=42420,424"]):
                result = as_user(*ids)
                self.assertEqual(3, result.returncode, (ids, result.stdout))
        finally:
            stack.stop()


    def test_a_set_group_id_cgi_is_served_and_ignores_its_environment(self):
        built = os.path.join(os.path.dirname(os.path.abspath(BIN)), "tests", "vant-cgi-setid-test")
        if not os.path.exists(built):
            self.skipTest("vant-cgi-setid-test is not built")
        stack = web_stack.WebStack(BIN, SOURCE, daemon_args=["--allow-group", "4242"])
        folder = tempfile.mkdtemp(prefix="vant-setid.")
        secret = os.path.join(os.path.dirname(built), "web-setid-secret")
        try:
            stack.start(serve=False)
            cgi = os.path.join(folder, "vant-cgi")
            shutil.copy(built, cgi)
            os.chmod(folder, 0o755)
            os.chown(cgi, 33, 4242)  # owned by the web server's user, of the granted group
            os.chmod(cgi, 0o2750)
            with open(secret, "w") as f:
                f.write(os.urandom(32).hex())
            os.chown(secret, 0, 4242)
            os.chmod(secret, 0o640)

            hostile = {"VANT_CGI_VANT": "/bin/false", "VANT_CGI_SECRET": "/nonexistent"}

            def run(uid, path="/device", settings=hostile):
                return subprocess.run(
                    # Through a shell: setpriv's own exec skips the permission check.
                    ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--clear-groups",
                     "/bin/sh", "-c", 'exec "$0"', cgi],
                    env={"REQUEST_METHOD": "GET", "PATH_INFO": path, **settings},
                    capture_output=True, text=True, timeout=60)
            served = run(33)
            self.assertIn("Status: 200", served.stdout, served)
            self.assertEqual("VW-M2", json.loads(served.stdout.split("\n\n", 1)[1])["model"])
            self.assertIn("Status: 200", run(33, "/token").stdout)  # the group's secret
            self.assertNotEqual(0, run(34).returncode)  # nobody else may run it
            os.chmod(cgi, 0o750)  # without the set-id bit the daemon refuses the web server
            self.assertIn("Status: 503", run(33, settings={}).stdout)
        finally:
            stack.stop()
            shutil.rmtree(folder, ignore_errors=True)
            if os.path.exists(secret):
                os.unlink(secret)


if __name__ == "__main__":
    python_cases.main([Api, Refusals, Packaging, Grant])
