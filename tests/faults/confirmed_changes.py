#!/usr/bin/python3
"""Radio changes that the daemon undoes unless they are confirmed, under the
faults a remote router meets: the client killed by any signal, the daemon
killed and restarted, the daemon and the modem restarted together, and the
modem gone at the deadline. The modem is the emulator on a pseudo-terminal
(`vantsim --link`), so that it outlives the daemon as a real modem does, and
its lock state is read with vant's JSON.

Figures (seconds) are printed as "FIGURE name: value" lines, which ctest
keeps; docs/reliability.md records them.

Run one case per process in private namespaces (ctest does, through
tests/tools/in_netns): `confirmed_changes.py Class.test_name`; `--list` names them."""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
VANT = os.path.join(BIN, "vant")
UNLOCKED = {"wcdma": {"locked": False, "uarfcn": 0},
            "lte_earfcn": {"locked": False, "earfcn0": 0, "earfcn1": 0},
            "lte_pci": {"locked": False, "earfcn": 0, "pci": 0}}
# The cell the changes lock to, and a modem that kept that lock across its restart.
CELL = (2000, 41)
KEPT_LOCK = {"name": "kept-lock", "base": "default",
             "locks": {"lte_pci": {"status": 1, "earfcn": CELL[0], "pci": CELL[1]}}}


SCALE = python_cases.SCALE


def figure(name, seconds):
    print("FIGURE %s: %.2f s" % (name, seconds), flush=True)


def presence_bound():
    with open("/proc/net/unix") as f:
        return any("@KEL0_SDK_SOCKET_MUTEX" in line for line in f)


wait_for = python_cases.wait_for


class Router:
    """An emulated modem on a pseudo-terminal and the daemon of modem 0 that
    drives it, journaling its changes in a state directory of its own."""

    def __init__(self, folder):
        self.folder = folder
        self.link = os.path.join(folder, "modem")
        self.state = os.path.join(folder, "state")
        self.journal = os.path.join(self.state, "modem0.change")
        self.kept_lock = os.path.join(folder, "kept-lock.json")
        with open(self.kept_lock, "w") as f:
            json.dump(KEPT_LOCK, f)
        self.modem = self.daemon = None

    def start_modem(self, scenario="default"):
        path = scenario if scenario.endswith(".json") else os.path.join(
            SOURCE, "sim/scenarios", scenario + ".json")
        self.modem = subprocess.Popen([os.path.join(BIN, "vantsim"), "--link", self.link,
                                       "--scenario", path],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: os.path.exists(self.link), 10):
            raise RuntimeError("the emulator made no link")

    def start_daemon(self):
        self.daemon = subprocess.Popen(
            [os.path.join(BIN, "vantsdk"), "0", "--foreground", "--device", self.link,
             "--state-dir", self.state], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if not wait_for(presence_bound, 10):
            raise RuntimeError("the daemon did not come up")
        # A loaded machine may keep the emulator from answering the daemon's
        # first Sync in time; the daemon then says there is no modem until
        # it does. The cases start from a modem the daemon serves.
        if not wait_for(lambda: vant("device", "--json").returncode == 0, 20, 0.2):
            raise RuntimeError("the daemon does not serve the modem")

    def kill(self, process):
        process.kill()
        process.communicate(timeout=10)

    def kill_daemon(self):
        self.kill(self.daemon)
        wait_for(lambda: not presence_bound(), 5)

    def kill_modem(self):
        self.kill(self.modem)
        wait_for(lambda: not os.path.exists(self.link), 5)

    def stop(self):
        for process in (self.daemon, self.modem):
            if process and process.poll() is None:
                process.kill()
                process.communicate(timeout=10)


def vant(*arguments, timeout=60):
    return subprocess.run([VANT, *arguments], capture_output=True, text=True, timeout=timeout)


class ChangeTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.router = Router(self.folder.name)
        self.addCleanup(self.router.stop)
        self.router.start_modem()
        self.router.start_daemon()

    def run_json(self, *arguments, status=0):
        result = vant(*arguments, "--json")
        self.assertEqual(status, result.returncode, result.stderr)
        return json.loads(result.stdout)

    def lock(self):
        result = vant("lock", "--json", timeout=20)
        return json.loads(result.stdout) if result.returncode == 0 else None

    def lock_for_a_while(self, seconds):
        doc = self.run_json("lock", "set", "lte-pci", *map(str, CELL),
                            "--revert-after", "%ds" % seconds)
        self.assertTrue(doc["lte_pci"]["locked"])
        self.assertEqual(UNLOCKED, doc["pending"]["previous"])
        self.assertTrue(os.path.exists(self.router.journal), "not journaled")
        return time.monotonic() + doc["pending"]["seconds_left"]

    def assert_undone_by(self, deadline, slack, what):
        """The previous lock is back within `slack` seconds of the deadline,
        and the journal is gone."""
        self.assertTrue(wait_for(lambda: self.lock() == UNLOCKED,
                                 (deadline - time.monotonic()) / SCALE + slack, 0.1),
                        "not undone in time")
        figure(what, max(0.0, time.monotonic() - deadline))
        self.assertTrue(wait_for(lambda: not os.path.exists(self.router.journal), 2))
        self.assertEqual({"pending": None}, self.run_json("pending"))


class Unconfirmed(ChangeTest):
    def test_the_daemon_undoes_it_within_two_seconds_of_its_deadline(self):
        deadline = self.lock_for_a_while(2)
        self.assertIsNotNone(self.run_json("pending")["pending"])
        self.assert_undone_by(deadline, 2, "revert after the deadline")

    def test_a_confirmed_change_stays(self):
        deadline = self.lock_for_a_while(2)
        self.assertEqual("lock lte-pci %d %d" % CELL, self.run_json("confirm")["confirmed"]["label"])
        time.sleep(max(0, deadline - time.monotonic()) + 1.5)
        self.assertTrue(self.lock()["lte_pci"]["locked"])
        self.assertFalse(os.path.exists(self.router.journal))

    def test_one_change_at_a_time_and_revert_now(self):
        self.lock_for_a_while(60)
        second = vant("lock", "clear", "--revert-after", "60s")
        self.assertEqual(1, second.returncode)
        self.assertIn("a change is already pending", second.stderr)
        self.assertTrue(self.lock()["lte_pci"]["locked"], "the refused change was sent")
        started = time.monotonic()
        self.assertTrue(self.run_json("revert")["reverted"]["restored"])
        figure("revert now", time.monotonic() - started)
        self.assertEqual(UNLOCKED, self.lock())

    def test_a_check_keeps_or_undoes_the_change(self):
        for command, status, locked in (("false", 4, False), ("exit 0", 0, True)):
            doc = self.run_json("lock", "set", "lte-pci", *map(str, CELL), "--settle", "200ms",
                                "--check", command, status=status)
            self.assertEqual((locked, None), (doc["lte_pci"]["locked"], doc["pending"]), command)
            self.assertEqual(locked, self.lock()["lte_pci"]["locked"], command)


class DaemonRestarts(ChangeTest):
    def test_a_killed_daemon_finishes_its_journal_when_it_starts_again(self):
        deadline = self.lock_for_a_while(4)
        self.router.kill_daemon()
        self.router.start_daemon()
        self.assert_undone_by(deadline, 2, "revert after a daemon crash")

    def test_after_a_restart_of_daemon_and_modem_the_journal_is_finished(self):
        deadline = self.lock_for_a_while(4)
        self.router.kill_daemon()
        self.router.kill_modem()
        # A real modem keeps its channel lock across its own restart.
        self.router.start_modem(self.router.kept_lock)
        self.router.start_daemon()
        self.assertTrue(self.lock()["lte_pci"]["locked"])
        self.assert_undone_by(deadline, 2, "revert after daemon and modem restarted")

    def test_a_modem_away_at_the_deadline_is_restored_once_back(self):
        deadline = self.lock_for_a_while(2)
        self.router.kill_modem()
        time.sleep(max(0, deadline - time.monotonic()) + 2)
        back = time.monotonic()
        self.router.start_modem(self.router.kept_lock)
        self.assertTrue(wait_for(lambda: self.lock() == UNLOCKED, 20, 0.1))
        figure("restore after the modem came back", time.monotonic() - back)
        self.assertEqual({"pending": None}, self.run_json("pending"))


class BestCellKilled(ChangeTest):
    """best-cell locks, and the vant process dies during the settle time: a
    caught signal puts the lock back at once, SIGKILL leaves it to the daemon."""

    def start_best_cell(self):
        process = subprocess.Popen([VANT, "best-cell", "--min-rsrp=-140", "--settle", "4s"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.assertIn("locked to", process.stderr.readline())
        self.assertNotEqual(UNLOCKED, self.lock(), "the lock did not change")
        return process

    def test_sighup_and_sigquit_put_the_lock_back(self):
        for sig in (signal.SIGHUP, signal.SIGQUIT):
            process = self.start_best_cell()
            process.send_signal(sig)
            process.communicate(timeout=30)
            self.assertEqual(128 + sig, process.returncode)
            self.assertEqual(UNLOCKED, self.lock(), sig)
            self.assertEqual({"pending": None}, self.run_json("pending"))

    def test_a_closed_pipe_puts_the_lock_back(self):
        result = subprocess.run(
            ["/bin/sh", "-c", '"$0" best-cell --min-rsrp=-140 --settle 3s 2>&1 | head -n 3', VANT],
            capture_output=True, text=True, timeout=60)
        self.assertEqual(3, len(result.stdout.splitlines()), result.stdout)
        self.assertTrue(wait_for(lambda: self.lock() == UNLOCKED, 10, 0.1))
        self.assertEqual({"pending": None}, self.run_json("pending"))

    def test_sigkill_leaves_the_lock_to_the_daemon(self):
        process = self.start_best_cell()
        process.kill()
        process.communicate(timeout=10)
        pending = self.run_json("pending")["pending"]
        self.assertEqual(UNLOCKED, pending["previous"])
        self.assert_undone_by(time.monotonic() + pending["seconds_left"], 2,
                              "revert after best-cell was killed")


class BandLock(ChangeTest):
    """A band lock to a band without coverage cuts the line as a bad cell lock
    does; the daemon puts the previous bands back by itself."""

    def lte_serving(self):
        result = vant("cells", "--json", timeout=20)
        return result.returncode == 0 and "serving" in json.loads(result.stdout).get("lte", {})

    def test_a_band_lock_that_loses_service_is_undone_by_the_daemon(self):
        before = self.run_json("bands")
        self.assertTrue(self.lte_serving())
        # The default modem has no LTE cell on band 66.
        doc = self.run_json("bands", "set", "--lte", "66", "--revert-after", "3s")
        deadline = time.monotonic() + doc["pending"]["seconds_left"]
        self.assertEqual([66], doc["lte"]["enabled"])
        self.assertFalse(self.lte_serving(), "the band lock left LTE service")
        self.assertTrue(wait_for(lambda: vant("bands", "--json").stdout and
                                 json.loads(vant("bands", "--json").stdout) == before,
                                 (deadline - time.monotonic()) / SCALE + 2, 0.1))
        figure("band lock undone after the deadline", max(0.0, time.monotonic() - deadline))
        self.assertTrue(wait_for(self.lte_serving, 5))
        self.assertEqual({"pending": None}, self.run_json("pending"))


if __name__ == "__main__":
    python_cases.main([Unconfirmed, DaemonRestarts, BestCellKilled, BandLock])
