#!/usr/bin/python3
"""The daemon beside libqmi's qmi-proxy, as on a router where ModemManager
owns the modem: the emulator on a pseudo-terminal, Debian's qmi-proxy in
front of it, our daemon reaching the modem through the proxy, and qmicli -p
requests running at the same time as vantctl and vant requests. Nothing may
be lost on either side, and our client ids must be free once the daemon ends.

Run one case per process in private namespaces (ctest does, through
tests/tools/in_netns): `qmi_proxy_coexistence.py Class.test_name`; `--list`
names them."""
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
QMI_PROXY = "/usr/libexec/qmi-proxy"
QMICLI = "/usr/bin/qmicli"
SCALE = python_cases.SCALE
ROUNDS = 12


wait_for = python_cases.wait_for


def proxy_open_frame(path):
    """The control service's internal proxy open (0xFF00), TLV 0x01 the path."""
    tlv = struct.pack("<BH", 0x01, len(path)) + path
    message = struct.pack("<BBHH", 0x00, 1, 0xFF00, len(tlv)) + tlv
    return struct.pack("<BHBBB", 0x01, 5 + len(message), 0x00, 0x00, 0x00) + message


class Coexistence(unittest.TestCase):
    def setUp(self):
        for program in (QMI_PROXY, QMICLI):
            if not os.access(program, os.X_OK):
                self.skipTest(program + " is not installed")
        self.folder = tempfile.mkdtemp(prefix="vant-proxy-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.link = os.path.join(self.folder, "modem")
        self.processes = []
        self.spawn([os.path.join(BIN, "vantsim"), "--link", self.link,
                    "--scenario", os.path.join(SOURCE, "sim/scenarios/default.json")])
        self.assertTrue(wait_for(lambda: os.path.exists(self.link), 10))
        self.spawn([QMI_PROXY, "--no-exit"])
        self.assertTrue(wait_for(lambda: "@qmi-proxy" in open("/proc/net/unix").read(), 10))
        self.imei = self.qmicli("--dms-get-ids").split("IMEI: '")[1].split("'")[0]

    def tearDown(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.kill()
            p.wait()

    def spawn(self, argv, **kwargs):
        p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, **kwargs)
        self.processes.append(p)
        return p

    def qmicli(self, *args):
        run = subprocess.run([QMICLI, "-p", "-d", self.link, "--device-open-qmi", *args],
                             capture_output=True, text=True, timeout=30 * SCALE)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        return run.stdout

    def vant(self, *args):
        run = subprocess.run([os.path.join(BIN, "vant"), "-s", "/dev/null", *args],
                             capture_output=True, text=True, timeout=30 * SCALE)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        return run.stdout

    def start_daemon(self, *options):
        daemon = self.spawn([os.path.join(BIN, "vantsdk"), "-f", "-v", "--device", self.link,
                             "--state-dir", self.folder, *options])
        self.assertTrue(wait_for(lambda: self.imei in self.vant_device(), 10),
                        "the daemon does not serve the modem")
        return daemon

    def vant_device(self):
        run = subprocess.run([os.path.join(BIN, "vant"), "-s", "/dev/null", "device", "--json"],
                             capture_output=True, text=True, timeout=30 * SCALE)
        return run.stdout

    def hold_node_through_proxy(self):
        """A proxy client of our own that stays, as ModemManager does: the
        proxy then keeps the node open."""
        client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        client.connect("\0qmi-proxy")
        client.sendall(proxy_open_frame(self.link.encode()))
        self.addCleanup(client.close)
        holder = None
        for entry in os.listdir("/proc"):
            if entry.isdigit() and open("/proc/%s/comm" % entry).read().strip() == "qmi-proxy":
                holder = entry
        self.assertTrue(wait_for(lambda: any(
            os.path.realpath(os.path.join("/proc", holder, "fd", fd)) ==
            os.path.realpath(self.link) for fd in os.listdir("/proc/%s/fd" % holder)), 10))

    def side_by_side(self, ours, theirs):
        failures = []

        def loop(job):
            for _ in range(ROUNDS):
                try:
                    job()
                except AssertionError as e:
                    failures.append(str(e))

        threads = [threading.Thread(target=loop, args=(job,)) for job in (ours, theirs)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(failures, [])

    def test_a_node_the_proxy_holds_is_shared_and_nothing_is_lost(self):
        self.hold_node_through_proxy()
        # A client id another program holds; a Sync from us would free it.
        theirs_held = self.fresh_nas_client_id()
        daemon = self.start_daemon()  # no --qmi-proxy: the proxy's hold is seen
        self.qmicli("--nas-get-signal-info", "--client-cid=%d" % theirs_held,
                    "--client-no-release-cid")

        def ours():
            self.assertIn(self.imei, self.vant("device", "--json"))
            run = subprocess.run([os.path.join(BIN, "vantctl"), "-s", "/dev/null", "-k"],
                                 capture_output=True, text=True, timeout=30 * SCALE)
            self.assertIn("VANTNASKelGetChannelLock returns 0", run.stdout + run.stderr)

        def theirs():
            self.assertIn("IMEI: '%s'" % self.imei, self.qmicli("--dms-get-ids"))
            self.assertIn("Cell [0]", self.qmicli("--nas-get-cell-location-info"))

        self.side_by_side(ours, theirs)
        daemon.send_signal(signal.SIGTERM)
        log = daemon.communicate(timeout=10 * SCALE)[0]
        self.assertIn("(qmi-proxy)", log)

    def fresh_nas_client_id(self):
        out = self.qmicli("--nas-noop", "--client-no-release-cid")
        return int(re.search(r"CID: '(\d+)'", out).group(1))

    def test_client_ids_are_free_once_the_daemon_ends(self):
        daemon = self.start_daemon("--qmi-proxy")
        self.vant("cells", "--json")  # the daemon takes a NAS client id: the first one
        self.assertEqual(self.fresh_nas_client_id(), 2)
        daemon.send_signal(signal.SIGTERM)
        self.assertEqual(daemon.wait(timeout=10 * SCALE), 0)
        self.assertEqual(self.fresh_nas_client_id(), 1, "the daemon's NAS client id is still held")


if __name__ == "__main__":
    python_cases.main([Coexistence])
