#!/usr/bin/python3
"""vant and Debian's qmicli, an independent QMI host, read the same emulated
modem (`vantsim --link`) and must agree on every value qmicli prints: the
band preference and capabilities, the bands in use, the signal info and the
NR5G cell. qmicli opens the modem first; then the daemon drives the same
pseudo-terminal and vant reads through it.

Run one case per process in private namespaces (ctest does, through
tests/tools/in_netns): `qmicli_agreement.py Class.test_name`; `--list` names them."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.environ.get("VANT_SOURCE_DIR", ".")
QMICLI = "/usr/bin/qmicli"
TECHNOLOGY = {"lte": "lte", "5gnr": "nr5g", "umts": "umts", "gsm": "gsm"}
MODES = {"gsm": "gsm", "umts": "umts", "lte": "lte", "5gnr": "nr5g"}


wait_for = python_cases.wait_for


def presence_bound():
    with open("/proc/net/unix") as f:
        return any("@KEL0_SDK_SOCKET_MUTEX" in line for line in f)


def fields(text):
    """qmicli's "Name: 'value'" lines as a list of (section, name, value);
    the section is the last line without a value ("LTE:", "5GNR cell information")."""
    out, section = [], ""
    for line in text.splitlines():
        m = re.match(r"\s*([^:']+):\s+'([^']*)'", line)
        if m:
            out.append((section, m.group(1).strip(), m.group(2)))
        elif line.strip():
            section = line.strip().rstrip(":")
    return out


def value(parsed, name, section=None):
    for s, n, v in parsed:
        if n == name and (section is None or s == section):
            return v
    raise KeyError((section, name))


def numbers(text):
    return [int(x) for x in text.split(", ")] if text else []


def number_of(text):
    return float(text.split()[0])


class Agreement(unittest.TestCase):
    scenario = "5g-nsa"

    @classmethod
    def setUpClass(cls):
        if not os.access(QMICLI, os.X_OK):
            raise unittest.SkipTest("qmicli is not installed (Debian package libqmi-utils)")

    def setUp(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        self.link = os.path.join(folder, "modem")
        scenario = os.path.join(SOURCE, "sim/scenarios", self.scenario + ".json")
        self.sim = subprocess.Popen([os.path.join(BIN, "vantsim"), "--link", self.link,
                                     "--scenario", scenario],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.end, self.sim)
        self.assertTrue(wait_for(lambda: os.path.exists(self.link)))
        self.qmi = {c: fields(self.qmicli(c)) for c in (
            "--nas-get-system-selection-preference", "--dms-get-band-capabilities",
            "--nas-get-rf-band-info", "--nas-get-signal-info", "--nas-get-cell-location-info")}
        self.daemon = subprocess.Popen([os.path.join(BIN, "vantsdk"), "0", "--foreground",
                                        "--device", self.link],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.end, self.daemon)
        self.assertTrue(wait_for(presence_bound))

    def end(self, process):
        process.kill()
        process.wait(timeout=10)

    def qmicli(self, command):
        result = subprocess.run([QMICLI, "-d", self.link, "--device-open-qmi", command],
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(0, result.returncode, result.stderr)
        return result.stdout

    def vant(self, *arguments):
        for _ in range(3):  # the daemon may still be identifying the modem
            result = subprocess.run([os.path.join(BIN, "vant"), *arguments, "--json"],
                                    capture_output=True, text=True, timeout=30)
            if result.returncode == 0:
                return json.loads(result.stdout)
            time.sleep(1)
        self.fail(result.stderr)

    def test_band_preference_and_capabilities(self):
        bands = self.vant("bands")
        pref = self.qmi["--nas-get-system-selection-preference"]
        caps = self.qmi["--dms-get-band-capabilities"]
        self.assertEqual([MODES[m] for m in value(pref, "Mode preference").split(", ")],
                         bands["modes"])
        self.assertEqual(numbers(value(pref, "LTE band preference (extended)")),
                         bands["lte"]["enabled"])
        self.assertEqual(numbers(value(pref, "NR5G SA band preference")),
                         bands["nr5g_sa"]["enabled"])
        self.assertEqual(numbers(value(pref, "NR5G NSA band preference")),
                         bands["nr5g_nsa"]["enabled"])
        self.assertEqual(numbers(value(caps, "LTE bands (extended)")), bands["lte"]["supported"])
        self.assertEqual(numbers(value(caps, "NR5G bands")), bands["nr5g_sa"]["supported"])

    def test_bands_in_use(self):
        rf = [f for f in self.qmi["--nas-get-rf-band-info"] if f[0] == "Band Information (Extended)"]
        expected = []
        for i in range(0, len(rf), 3):
            interface, band, channel = (f[2] for f in rf[i:i + 3])
            m = re.fullmatch(r"(?:eutran|nr5g)-(\d+)", band)
            expected.append({"technology": TECHNOLOGY[interface],
                             "band": int(m.group(1)) if m else None, "channel": int(channel)})
        self.assertTrue(expected)
        self.assertEqual(expected, self.vant("cells")["bands"])

    def test_signal_info(self):
        signal = self.vant("signal")
        q = self.qmi["--nas-get-signal-info"]
        lte = {"rssi_dbm": "RSSI", "rsrq_db": "RSRQ", "rsrp_dbm": "RSRP", "sinr_db": "SNR"}
        for key, name in lte.items():
            self.assertEqual(number_of(value(q, name, "LTE")), signal["lte"][key], key)
        for key, name in {"rsrp_dbm": "RSRP", "rsrq_db": "RSRQ", "sinr_db": "SNR"}.items():
            self.assertEqual(number_of(value(q, name, "5G")), signal["nr5g"][key], key)
        self.assertEqual(number_of(value(q, "RSSI", "WCDMA")), signal["wcdma"]["rssi_dbm"])
        self.assertEqual(number_of(value(q, "ECIO", "WCDMA")), signal["wcdma"]["ecio_db"])

    def test_nr5g_cell(self):
        cell = self.vant("cells")["nr5g"]
        q = self.qmi["--nas-get-cell-location-info"]
        # qmicli prints the PLMN's digits in wire order: the MCC, the MNC's third
        # digit (none for a two-digit MNC), then its first two.
        mcc, mnc = cell["mcc"], cell["mnc"]
        self.assertEqual(value(q, "PLMN", "5GNR cell information"), mcc + mnc[2:] + mnc[:2])
        self.assertEqual(int(value(q, "5GNR ARFCN")), cell["nr_arfcn"])
        for key, name in {"tac": "Tracking Area Code", "global_cell_id": "Global Cell ID",
                          "pci": "Physical Cell ID"}.items():
            self.assertEqual(int(value(q, name, "5GNR cell information")), cell[key], key)
        for key, name in {"rsrq_db": "RSRQ", "rsrp_dbm": "RSRP", "sinr_db": "SNR"}.items():
            self.assertEqual(number_of(value(q, name, "5GNR cell information")), cell[key], key)


class StandaloneAgreement(Agreement):
    scenario = "5g-sa"
    test_signal_info = None  # no LTE or WCDMA there; the NR part is checked below

    def test_nr_signal_alone(self):
        signal = self.vant("signal")
        q = self.qmi["--nas-get-signal-info"]
        self.assertIsNone(signal["lte"])
        self.assertEqual(number_of(value(q, "RSRP", "5G")), signal["nr5g"]["rsrp_dbm"])


if __name__ == "__main__":
    python_cases.main([Agreement, StandaloneAgreement])
