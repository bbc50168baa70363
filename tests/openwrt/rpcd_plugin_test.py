#!/usr/bin/python3
"""The rpcd plugin vant-rpcd through its own protocol, as rpcd runs it:
`PLUGIN list`, and `PLUGIN call METHOD` with the arguments as JSON on
standard input, against the SDK daemon on the emulator. What it answers is
compared with vant itself; what it refuses must change nothing.

One case per process in private namespaces (ctest runs them through
tests/tools/in_netns): `rpcd_plugin_test.py Class.test_name`; `--list`
names them."""
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import web_stack  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
PLUGIN = os.path.join(BIN, "vant-rpcd")
READS = {"cells", "signal", "lock", "bands", "pending", "device", "operators"}
CHANGES = {"scan", "set_lock", "set_bands", "best_cell", "confirm", "revert"}
WHOLE = {"set_lock": {"kind": "clear", "revert_after": 60},
         "set_bands": {"action": "reset", "revert_after": 60}, "best_cell": {"revert_after": 60}}
SESSION = "0123456789abcdef0123456789abcdef"  # what uhttpd's ubus bridge adds to every call


class Plugin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        web_stack.loopback_up()
        cls.stack = web_stack.WebStack(BIN, SOURCE).start(serve=False)
        cls.state = tempfile.mkdtemp(prefix="vant-rpcd.")

    @classmethod
    def tearDownClass(cls):
        cls.stack.stop()

    def run_plugin(self, *args, stdin=b"", env=None):
        environment = {"VANT_RPCD_VANT": os.path.join(BIN, "vant"), "VANT_RPCD_STATE": self.state,
                       **(env or {})}
        return subprocess.run([PLUGIN, *args], input=stdin, env=environment, capture_output=True,
                              timeout=60)

    def call(self, method, arguments=None, raw=None, **env):
        """The one JSON object a call answers."""
        stdin = raw if raw is not None else json.dumps(arguments or {}).encode()
        result = self.run_plugin("call", method, stdin=stdin, env=env)
        self.assertEqual(0, result.returncode, result)
        doc = json.loads(result.stdout)
        self.assertIsInstance(doc, dict)
        return doc

    def modem(self, *args):
        return json.loads(self.stack.vant(*args, "--json").stdout)

    def assert_unchanged(self, lock_before):
        self.assertEqual(lock_before, self.modem("lock"))
        self.assertIsNone(self.modem("pending")["pending"])

    def test_list_gives_every_method_the_arguments_it_takes(self):
        result = self.run_plugin("list")
        self.assertEqual(0, result.returncode)
        methods = json.loads(result.stdout)
        self.assertEqual(READS | CHANGES, set(methods))
        for name, signature in methods.items():
            self.assertEqual(32, signature["modem"], name)
            self.assertTrue(all(t in (32, "str") for t in signature.values()), (name, signature))
            # Each argument is the method's own: a bad value is refused by its check, a
            # name the signature lacks as unknown.
            for argument in signature:
                doc = self.call(name, {argument: "99" if argument == "modem" else "x"})
                self.assertNotIn("unknown", doc["error"], (name, argument))
            whole = WHOLE.get(name, {})  # with all else right, only the unknown name is wrong
            self.assertIn("unknown", self.call(name, {**whole, "colour": "x"})["error"], name)

    def test_reads_relay_vants_documents(self):
        for method, arguments in (("lock", {}), ("device", {"ubus_rpc_session": SESSION}),
                                  ("pending", {"modem": 0}), ("cells", {})):
            self.assertEqual(self.modem(method), self.call(method, arguments), method)
        for method in ("signal", "bands"):  # the modem may refuse these: vant's error then
            direct = self.stack.vant(method, "--json", check=False)
            doc = self.call(method)
            if direct.returncode == 0:
                self.assertEqual(json.loads(direct.stdout), doc)
            else:
                self.assertEqual(direct.returncode, doc["exit_status"])
                self.assertIn(doc["error"], direct.stderr)
        # Another modem index, on which no daemon runs: unreachable.
        self.assertEqual(3, self.call("lock", {"modem": 5})["exit_status"])

    def test_changes_are_held_then_confirmed_or_reverted(self):
        doc = self.call("set_lock", {"kind": "lte-pci", "earfcn": 2000, "pci": 41,
                                     "revert_after": 120, "ubus_rpc_session": SESSION})
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 41}, doc["lte_pci"])
        self.assertEqual(("held", 120.0), (doc["pending"]["state"], doc["pending"]["revert_after_s"]))
        self.assertEqual(1, self.call("set_lock", {"kind": "clear", "revert_after": 60})["exit_status"])
        self.assertEqual("lock lte-pci 2000 41", self.call("confirm")["confirmed"]["label"])
        self.assertIsNone(self.modem("pending")["pending"])
        # Numbers as strings, as a form gives them.
        doc = self.call("best_cell", {"min_rsrp": "-100", "revert_after": "60"})
        first = doc["best_cell"]["candidates"][0]
        self.assertEqual({"locked": True, "earfcn": first["earfcn"], "pci": first["pci"]},
                         doc["lock"]["lte_pci"])
        self.assertTrue(self.call("revert")["reverted"]["restored"])
        self.assertEqual({"locked": True, "earfcn": 2000, "pci": 41}, self.modem("lock")["lte_pci"])
        self.assertEqual("no change is pending", self.call("revert")["error"])

    def test_bad_arguments_are_answered_with_json_errors(self):
        before = self.modem("lock")
        lock = '"kind":"lte-pci","earfcn":2000,"revert_after":60'
        for method, stdin in (
                ("set_lock", b"not json"), ("set_lock", b"[]"), ("set_lock", b'{"kind":"clear"'),
                ("set_lock", b'{"kind":"clear","revert_after":60} {}'),
                ("set_lock", b'{"kind":"clear"}'),  # not held: revert_after is required
                ("set_lock", b'{"kind":"clear","revert_after":9}'),
                ("set_lock", b'{"kind":"clear","revert_after":60.0}'),
                ("set_lock", b'{"kind":"clear","revert_after":6e1}'),
                ("set_lock", b'{"kind":"clear","revert_after":060}'),
                ("set_lock", b'{"kind":"clear","revert_after":true}'),
                ("set_lock", b'{"kind":"clear","revert_after":null}'),
                ("set_lock", b'{"kind":"clear","revert_after":[60]}'),
                ("set_lock", b'{"kind":{"x":1},"revert_after":60}'),
                ("set_lock", b'{"kind":"clear","kind":"clear","revert_after":60}'),
                ("set_lock", b'{"kind":"clear;reboot","revert_after":60}'),
                ("set_lock", ("{" + lock + ',"pci":504}').encode()),
                ("set_lock", ("{" + lock + ',"pci":"41 "}').encode()),
                ("set_lock", ("{" + lock + ',"pci":41,"modem":12}').encode()),
                ("set_lock", ("{" + lock + ',"pci":41,"modem":"0x1"}').encode()),
                ("set_lock", ("{" + lock + ',"pci":41,"ubus_rpc_session":"; x"}').encode()),
                ("set_lock", b'{"kind":"\xff","revert_after":60}'),
                ("set_lock", b'{"kind":"\\ud800","revert_after":60}'),
                ("set_lock", b'{"kind":"clear\x01","revert_after":60}'),
                ("set_lock", b'{"kind":"clear","revert_after":60,"pad":"' + b"x" * 5000 + b'"}'),
                ("set_bands", b'{"action":"set","lte":"3-1","revert_after":60}'),
                ("set_bands", b'{"action":"set","nr":"78","nr_sa":"78","revert_after":60}'),
                ("best_cell", b'{"min_rsrp":-43,"revert_after":60}'),
                ("confirm", b'{"id":1}'), ("reboot", b"{}")):
            doc = self.call(method, raw=stdin)
            self.assertTrue(doc.get("error"), (method, stdin[:80], doc))
        self.assert_unchanged(before)
        # No method: a JSON error all the same, and a failed status.
        result = self.run_plugin()
        self.assertEqual(2, result.returncode)
        self.assertIn("usage", json.loads(result.stdout)["error"])

    def test_the_operator_scan_outlasts_its_call(self):
        self.assertEqual({"state": "none"}, self.call("operators"))
        started = time.monotonic()
        doc = self.call("scan")
        self.assertLess(time.monotonic() - started, 5)  # the call does not wait for the scan
        self.assertEqual("running", doc["state"])
        self.assertIn("already running", self.call("scan")["error"])
        deadline = time.monotonic() + 120
        while (doc := self.call("operators"))["state"] == "running":
            self.assertGreaterEqual(doc["seconds"], 0)
            self.assertLess(time.monotonic(), deadline, "the scan did not end")
            time.sleep(0.5)
        self.assertEqual("done", doc["state"], doc)
        self.assertEqual(self.modem("operators"), doc["result"])
        # A state folder that others may write to is not used.
        os.chmod(self.state, 0o777)
        self.assertIn("not usable", self.call("scan")["error"])
        os.chmod(self.state, 0o700)


if __name__ == "__main__":
    python_cases.main([Plugin])
