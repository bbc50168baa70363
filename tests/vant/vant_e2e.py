#!/usr/bin/python3
"""vant end to end: the real program against the SDK daemon and its emulated
modem. Every expectation is worked out here from the scenario file, with
Python's own json module, and the metrics file is read with the Prometheus
client's exposition parser, so nothing is shared with vant's own code.

Run one case per process in private namespaces (ctest does, through
tests/tools/in_netns): `vant_e2e.py Class.test_name`; `--list` names them."""
import json
import os
import signal
import struct
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
EXIT_MODEM, EXIT_ARGUMENTS, EXIT_UNREACHABLE, EXIT_NO_CELL_KEPT = 1, 2, 3, 4


def scenario_file(name):
    for folder in ("sim/scenarios", "tests/vant/scenarios", "tests/sim"):
        path = os.path.join(SOURCE, folder, name + ".json")
        if os.path.exists(path):
            return path
    raise FileNotFoundError(name)


def load_scenario(name):
    """The scenario as the emulator plays it: a document with a base is laid
    over the default modem, technology by technology and lock by lock."""
    with open(scenario_file(name)) as f:
        doc = json.load(f)
    if doc.get("base") != "default":
        return doc
    base = load_scenario("default")
    for part in ("cells", "locks", "identity", "behaviour", "scan"):
        for key, value in doc.get(part, {}).items():
            if value is None:
                base[part].pop(key, None)
            else:
                base[part][key] = value
    for key in ("networks", "registered"):
        if key in doc:
            base[key] = doc[key]
    return base


def number(value):
    return int(value, 16) if isinstance(value, str) else value


def plmn(text):
    mcc, mnc = text.split("-")
    return {"mcc": mcc, "mnc": mnc}


def tenths(value):
    return value / 10


def float_word(value):
    """The RSRP and RSRQ words of WCDMA's LTE neighbours: an integer is the
    word itself, a fraction is sent as a 32-bit float."""
    if isinstance(value, int):
        bits = struct.pack("<I", value & 0xFFFFFFFF)
    else:
        bits = struct.pack("<f", value)
    return round(struct.unpack("<f", bits)[0], 2)


def lte_cell(c):
    return {"pci": c["pci"], "rsrp_dbm": tenths(c["rsrp"]), "rsrq_db": tenths(c["rsrq"]),
            "rssi_dbm": tenths(c["rssi"]), "srx_lev_db": c["srx_lev"]}


def rx_dbm(level):
    return level - 111 if level <= 63 else None


def expected_gsm(g):
    serving = {"cell_id": g["cell_id"], **plmn(g["plmn"]), "lac": g["lac"], "arfcn": g["arfcn"],
               "bsic": g["bsic"], "timing_advance_bit_periods": g["timing_advance"],
               "rx_level": g["rx_level"], "rx_level_dbm": rx_dbm(g["rx_level"])}
    neighbours = [{"cell_id": n["cell_id"], **plmn(n["plmn"]), "lac": n["lac"],
                   "arfcn": n["arfcn"], "bsic": n["bsic"], "rx_level": n["rx_level"],
                   "rx_level_dbm": rx_dbm(n["rx_level"])} for n in g.get("nmr", [])]
    return {"serving": serving, "neighbours": neighbours}


def expected_umts(c):
    u = c["umts"]
    serving = {"cell_id": number(u["cell_id"]), **plmn(u["plmn"]), "lac": number(u["lac"]),
               "uarfcn": u["uarfcn"], "psc": u["psc"], "rscp_dbm": u["rscp"],
               "ecio_db": u["ecio"]}
    if "umts_cell_id" in c:
        serving["umts_cell_id"] = number(c["umts_cell_id"])
    out = {"serving": serving,
           "neighbours": [{"uarfcn": i["uarfcn"], "psc": i["psc"], "rscp_dbm": i["rscp"],
                           "ecio_db": i["ecio"]} for i in u.get("instances", [])],
           "gsm_neighbours": [{"arfcn": g["arfcn"], "bsic_ncc": g["bsic_ncc"],
                               "bsic_bcc": g["bsic_bcc"], "rssi_dbm": g["rssi"]}
                              for g in u.get("geran_instances", [])]}
    if "wcdma_lte" in c:
        w = c["wcdma_lte"]
        out["rrc_state"] = w["rrc_state"]
        out["lte_neighbours"] = [
            {"earfcn": n["earfcn"], "pci": n["pci"], "rsrp_dbm": float_word(n["rsrp"]),
             "rsrq_db": float_word(n["rsrq"]), "srx_lev_db": n["srx_lev"],
             "tdd": bool(n["is_tdd"])} for n in w["cells"]]
    return out


def expected_cdma(c):
    degrees = lambda v: (v - (1 << 32) if v >= 1 << 31 else v) * 0.25 / 3600
    return {"serving": {"sid": c["sid"], "nid": c["nid"], "base_id": c["base_id"],
                        "ref_pn": c["ref_pn"],
                        "base_latitude_deg": degrees(number(c["base_latitude"])),
                        "base_longitude_deg": degrees(number(c["base_longitude"]))}}


def expected_lte(c):
    intra = c["lte_intra"]
    serving = {"earfcn": intra["earfcn"], "pci": intra["serving_cell_id"], **plmn(intra["plmn"]),
               "tac": number(intra["tac"]), "global_cell_id": number(intra["global_cell_id"]),
               "ue_in_idle": intra["ue_in_idle"] == 1,
               "cell_resel_priority": intra["cell_resel_priority"],
               "s_non_intra_search": intra["s_non_intra_search"],
               "thresh_serving_low": intra["thresh_serving_low"],
               "s_intra_search": intra["s_intra_search"]}
    for cell in intra["cells"]:
        if cell["pci"] == intra["serving_cell_id"]:
            serving.update({k: v for k, v in lte_cell(cell).items() if k != "pci"})
    out = {"serving": serving, "intra_frequency": [lte_cell(x) for x in intra["cells"]]}
    if "lte_inter" in c:
        out["inter_frequency"] = [
            {"earfcn": f["earfcn"], "thresh_x_low": f["thresh_x_low"],
             "thresh_x_high": f["thresh_x_high"], "cell_resel_priority": f["cell_resel_priority"],
             "cells": [lte_cell(x) for x in f["cells"]]} for f in c["lte_inter"]["frequencies"]]
    if "lte_gsm" in c:
        out["gsm_neighbours"] = [
            {"cell_resel_priority": f["cell_resel_priority"],
             "thresh_gsm_high": f["thresh_gsm_high"], "thresh_gsm_low": f["thresh_gsm_low"],
             "ncc_permitted": f["ncc_permitted"],
             "cells": [{"arfcn": x["arfcn"], "band_1900": bool(x["band_1900"]),
                        "cell_id_valid": bool(x["cell_id_valid"]), "bsic_id": x["bsic_id"],
                        "rssi_dbm": tenths(x["rssi"]), "srx_lev_db": x["srx_lev"]}
                       for x in f["cells"]]} for f in c["lte_gsm"]["frequencies"]]
    if "lte_wcdma" in c:
        out["wcdma_neighbours"] = [
            {"uarfcn": f["uarfcn"], "cell_resel_priority": f["cell_resel_priority"],
             "thresh_x_high": f["thresh_x_high"], "thresh_x_low": f["thresh_x_low"],
             "cells": [{"psc": x["psc"], "cpich_rscp_dbm": tenths(x["cpich_rscp"]),
                        "cpich_ecno_db": tenths(x["cpich_ecno"]), "srx_lev_db": x["srx_lev"]}
                       for x in f["cells"]]} for f in c["lte_wcdma"]["frequencies"]]
    return out


def expected_cells(scenario):
    c = scenario.get("cells", {})
    out = {}
    if "geran" in c:
        out["gsm"] = expected_gsm(c["geran"])
    if "umts" in c:
        out["umts"] = expected_umts(c)
    if "cdma" in c:
        out["cdma"] = expected_cdma(c["cdma"])
    if "lte_intra" in c:
        out["lte"] = expected_lte(c)
    return out


def lte_cells_heard(scenario):
    """(earfcn, pci, rsrp_dbm, rsrq_db) of every LTE cell of the scenario."""
    c = scenario["cells"]
    cells = [(c["lte_intra"]["earfcn"], x["pci"], tenths(x["rsrp"]), tenths(x["rsrq"]))
             for x in c["lte_intra"]["cells"]]
    for f in c.get("lte_inter", {}).get("frequencies", []):
        cells += [(f["earfcn"], x["pci"], tenths(x["rsrp"]), tenths(x["rsrq"]))
                  for x in f["cells"]]
    return cells


def lock_doc(wcdma=None, earfcn=None, pci=None):
    """The lock document: each kind locked to the values given, or off."""
    return {"wcdma": {"locked": wcdma is not None, "uarfcn": wcdma or 0},
            "lte_earfcn": {"locked": earfcn is not None, "earfcn0": (earfcn or (0, 0))[0],
                           "earfcn1": (earfcn or (0, 0))[1]},
            "lte_pci": {"locked": pci is not None, "earfcn": (pci or (0, 0))[0],
                        "pci": (pci or (0, 0))[1]}}


def presence_bound(modem=0):
    with open("/proc/net/unix") as f:
        return any("@KEL%d_SDK_SOCKET_MUTEX" % modem in line for line in f)


class Modem:
    """The daemon of modem 0 in the foreground, its emulator playing one
    scenario; vant attaches to it."""

    def __init__(self, scenario):
        self.daemon = subprocess.Popen(
            [os.path.join(BIN, "vantsdk"), "--simulate=" + scenario_file(scenario),
             "--foreground", "0"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not presence_bound():
            if self.daemon.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the daemon did not come up: %s" % self.daemon.stderr.read())
            time.sleep(0.05)

    def stop(self):
        self.daemon.terminate()
        self.daemon.communicate(timeout=10)


def vant(*arguments, timeout=60):
    return subprocess.run([VANT, "-s", os.path.join(BIN, "vantsdk-sim"), *arguments],
                          capture_output=True, text=True, timeout=timeout)


class ScenarioTest(unittest.TestCase):
    scenario = "default"

    def setUp(self):
        self.modem = Modem(self.scenario)
        self.addCleanup(self.modem.stop)
        self.expected = load_scenario(self.scenario)

    def run_json(self, *arguments, status=0):
        result = vant(*arguments)
        self.assertEqual(status, result.returncode, result.stderr)
        return json.loads(result.stdout)

    def cells_without_5g(self):
        """The report of the cell location message alone: the NR5G cell and the
        bands in use come from messages of their own (see Bands5G)."""
        doc = self.run_json("cells", "--json")
        self.assertIn("nr5g", doc)
        self.assertIn("bands", doc)
        return {k: v for k, v in doc.items() if k not in ("nr5g", "bands")}


class Cells(ScenarioTest):
    def test_default_modem(self):
        self.assertEqual(expected_cells(self.expected), self.cells_without_5g())

    def test_text_output_names_every_serving_cell(self):
        result = vant("cells")
        self.assertEqual(0, result.returncode, result.stderr)
        serving = self.expected["cells"]["lte_intra"]
        self.assertIn("lte.serving: earfcn=%d pci=%d" % (serving["earfcn"],
                                                         serving["serving_cell_id"]),
                      result.stdout)


class CellsOfEveryTechnology(ScenarioTest):
    scenario = "interop"

    def test_every_technology(self):
        self.assertEqual(expected_cells(self.expected), self.cells_without_5g())


class CellsRefused(ScenarioTest):
    scenario = "qmi-error"

    def test_a_refused_report_is_a_modem_error(self):
        result = vant("cells", "--json")
        self.assertEqual(EXIT_MODEM, result.returncode)
        self.assertEqual("", result.stdout)
        self.assertIn("1016", result.stderr)


class Lock(ScenarioTest):
    def test_set_reads_back_what_the_modem_holds(self):
        steps = [
            (["show"], lock_doc()),
            (["set", "lte-pci", "2000", "41"], lock_doc(pci=(2000, 41))),
            (["set", "wcdma", "4360"], lock_doc(wcdma=4360, pci=(2000, 41))),
            (["set", "lte-earfcn", "5110", "2000"], lock_doc(earfcn=(5110, 2000), pci=(2000, 41))),
            (["clear"], lock_doc()),
        ]
        for arguments, expected in steps:
            self.assertEqual(expected, self.run_json("lock", *arguments, "--json"), arguments)

    def test_a_cell_lock_moves_the_serving_cell(self):
        self.run_json("lock", "set", "lte-pci", "2000", "41", "--json")
        serving = self.run_json("cells", "--json")["lte"]["serving"]
        self.assertEqual((2000, 41), (serving["earfcn"], serving["pci"]))


class Operators(ScenarioTest):
    def test_default_networks(self):
        registered = self.expected["registered"]
        expected = []
        for n in self.expected["networks"]:
            digits = 3 if n.get("flag") == 1 or n["mnc"] > 99 else 2
            home = (n["mcc"], n["mnc"]) == (registered["mcc"], registered["mnc"])
            expected.append({"mcc": "%03d" % n["mcc"], "mnc": "%0*d" % (digits, n["mnc"]),
                             "description": n["description"],
                             "rat": {5: "umts", 8: "lte"}[n["rat"]], "rat_code": n["rat"],
                             "serving": "serving" if home else "available",
                             "roaming": {1: "home", 2: "roaming"}[n["roaming"]]})
        got = self.run_json("operators", "--json")["operators"]
        for entry in got:
            entry.pop("forbidden")
            entry.pop("preferred")
        self.assertEqual(expected, got)


class Device(unittest.TestCase):
    def test_starts_the_daemon_and_reads_the_identity(self):
        identity = load_scenario("default")["identity"]
        result = vant("device", "--json")
        self.assertEqual(0, result.returncode, result.stderr)
        device = json.loads(result.stdout)
        self.assertTrue(device.pop("node"))
        self.assertEqual({"model": identity["model"],
                          "firmware_revision": identity["firmware_revision"],
                          "imei": identity["imei"]}, device)


def expected_serving_sample(scenario):
    intra = scenario["cells"]["lte_intra"]
    cell = next(x for x in intra["cells"] if x["pci"] == intra["serving_cell_id"])
    return {"technology": "lte", **plmn(intra["plmn"]), "earfcn": intra["earfcn"],
            "pci": intra["serving_cell_id"], "tac": number(intra["tac"]),
            "global_cell_id": number(intra["global_cell_id"]),
            "rsrp_dbm": tenths(cell["rsrp"]), "rsrq_db": tenths(cell["rsrq"]),
            "rssi_dbm": tenths(cell["rssi"])}


class Watch(ScenarioTest):
    def test_json_lines_and_the_prometheus_file(self):
        from prometheus_client.parser import text_string_to_metric_families
        folder = tempfile.mkdtemp()
        metrics = os.path.join(folder, "vant.prom")
        started = time.time()
        result = vant("watch", "--count", "3", "--interval", "200ms", "--json-lines",
                      "--prometheus", metrics)
        self.assertEqual(0, result.returncode, result.stderr)
        lines = [json.loads(line) for line in result.stdout.splitlines()]
        self.assertEqual(3, len(lines))
        expected = expected_serving_sample(self.expected)
        for line in lines:
            self.assertEqual(expected, line["serving"])
            self.assertGreaterEqual(line["unix_time"], int(started))
        self.assertEqual(["vant.prom"], os.listdir(folder), "no temporary file is left")
        with open(metrics) as f:
            families = {fam.name: fam for fam in text_string_to_metric_families(f.read())}
        value = lambda name: families[name].samples[0].value
        self.assertEqual(1, value("vant_up"))
        self.assertEqual(expected["rsrp_dbm"], value("vant_rsrp_dbm"))
        self.assertEqual(expected["rsrq_db"], value("vant_rsrq_db"))
        self.assertEqual(expected["rssi_dbm"], value("vant_rssi_dbm"))
        self.assertAlmostEqual(lines[-1]["unix_time"], value("vant_last_poll_timestamp_seconds"))
        info = families["vant_serving_cell_info"].samples[0]
        self.assertEqual({"modem": "0", "technology": "lte", "mcc": expected["mcc"],
                          "mnc": expected["mnc"], "earfcn": str(expected["earfcn"]),
                          "pci": str(expected["pci"]), "tac": str(expected["tac"]),
                          "global_cell_id": str(expected["global_cell_id"])}, info.labels)


class WatchDrift(ScenarioTest):
    """The serving cell's signal drifts (a triangle wave of the scenario's
    amplitude): watch follows it."""
    scenario = "drifting-signal"

    def test_samples_follow_the_drift(self):
        result = vant("watch", "--count", "3", "--interval", "1s", "--json-lines")
        self.assertEqual(0, result.returncode, result.stderr)
        base = expected_serving_sample(self.expected)
        amplitude = tenths(self.expected["behaviour"]["drift"]["rsrp"])
        rsrp = [json.loads(line)["serving"]["rsrp_dbm"] for line in result.stdout.splitlines()]
        self.assertEqual(3, len(rsrp))
        for value in rsrp:
            self.assertLessEqual(abs(value - base["rsrp_dbm"]), amplitude, rsrp)
        self.assertGreater(len(set(rsrp)), 1, "the signal moves over two seconds")


def ranked(scenario, min_rsrp):
    cells = [c for c in lte_cells_heard(scenario) if c[2] >= min_rsrp]
    cells.sort(key=lambda c: (-c[2], -c[3]))
    return [(c[0], c[1]) for c in cells]


class BestCell(ScenarioTest):
    """The strongest cell is an inter-frequency neighbour: best-cell locks to
    it, the modem moves there and the lock is kept."""
    scenario = "best-cell-elsewhere"

    def candidates(self, document):
        return [(c["earfcn"], c["pci"]) for c in document["candidates"]]

    def test_dry_run_only_ranks(self):
        threshold = sorted(c[2] for c in lte_cells_heard(self.expected))[1]
        doc = self.run_json("best-cell", "--dry-run", "--json", "--min-rsrp", "%g" % threshold)
        self.assertEqual(ranked(self.expected, threshold), self.candidates(doc))
        self.assertEqual("dry_run", doc["outcome"])
        self.assertEqual(lock_doc(), self.run_json("lock", "--json"))

    def test_no_cell_above_the_threshold(self):
        doc = self.run_json("best-cell", "--json", "--min-rsrp=-44", status=EXIT_NO_CELL_KEPT)
        self.assertEqual(([], "no_candidate"), (doc["candidates"], doc["outcome"]))
        self.assertEqual(lock_doc(), self.run_json("lock", "--json"))

    def test_locks_and_keeps_the_strongest_cell(self):
        best = ranked(self.expected, -110)[0]
        doc = self.run_json("best-cell", "--json", "--settle", "300ms")
        self.assertEqual("kept", doc["outcome"])
        self.assertEqual(best, (doc["chosen"]["earfcn"], doc["chosen"]["pci"]))
        self.assertEqual(lock_doc(), doc["previous_lock"])
        self.assertEqual(lock_doc(pci=best), self.run_json("lock", "--json"))
        serving = self.run_json("cells", "--json")["lte"]["serving"]
        self.assertEqual(best, (serving["earfcn"], serving["pci"]))


class BestCellFails(ScenarioTest):
    """The strongest cell loses LTE service a second after it is locked: the
    check finds the modem without it and the previous lock comes back."""
    scenario = "best-cell-fails"
    reason = "no LTE service"

    def test_a_cell_that_fails_to_serve_is_rolled_back(self):
        before = self.run_json("lock", "--json")
        doc = self.run_json("best-cell", "--json", "--settle", "1500ms", status=EXIT_NO_CELL_KEPT)
        self.assertEqual(ranked(self.expected, -110)[0],
                         (doc["chosen"]["earfcn"], doc["chosen"]["pci"]))
        self.assertEqual("rolled_back", doc["outcome"])
        self.assertIn(self.reason, doc["reason"])
        self.assertEqual((before, before), (doc["previous_lock"], doc["lock"]))
        self.assertEqual(before, self.run_json("lock", "--json"))
        self.assertEqual(expected_cells(self.expected)["lte"]["serving"],
                         self.run_json("cells", "--json")["lte"]["serving"])


class BestCellWeak(BestCellFails):
    """The strongest cell still serves once locked, but below the threshold."""
    scenario = "best-cell-weak"
    reason = "RSRP fell to -124.0 dBm"


class BestCellInterrupted(ScenarioTest):
    """A modem locked beforehand; an interrupt during the settle time puts
    that lock back."""
    scenario = "channel-locked"

    def test_interrupt_during_the_settle_time_restores_the_lock(self):
        before = self.run_json("lock", "--json")
        process = subprocess.Popen(
            [VANT, "best-cell", "--json", "--min-rsrp=-140", "--settle", "60s"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        note = process.stderr.readline()
        self.assertIn("locked to", note)
        self.assertNotEqual(before, self.run_json("lock", "--json"), "the lock changed")
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=30)
        self.assertEqual(128 + signal.SIGINT, process.returncode, note + err)
        doc = json.loads(out)
        self.assertEqual(("interrupted", before), (doc["outcome"], doc["lock"]))
        self.assertEqual(before, self.run_json("lock", "--json"))


class Bands(ScenarioTest):
    """The default modem's band capabilities and preference, set and reset."""

    def kinds(self, doc):
        return [doc[k]["enabled"] for k in ("lte", "nr5g_sa", "nr5g_nsa")]

    def test_show_set_and_reset(self):
        bands = self.expected["bands"]
        doc = self.run_json("bands", "--json")
        self.assertEqual((sorted(bands["lte"]), sorted(bands["nr"]), sorted(bands["nr"])),
                         (doc["lte"]["supported"], doc["nr5g_sa"]["supported"],
                          doc["nr5g_nsa"]["supported"]))
        self.assertEqual([sorted(bands["lte"]), sorted(bands["nr"]), sorted(bands["nr"])],
                         self.kinds(doc), "every supported band enabled at first")
        lte, nr = bands["lte"][1:3], bands["nr"][-1:]
        doc = self.run_json("bands", "set", "--lte", ",".join(map(str, lte)), "--nr",
                            str(nr[0]), "--json")
        self.assertEqual([sorted(lte), nr, nr], self.kinds(doc))
        self.assertEqual(doc, self.run_json("bands", "--json"))
        self.assertEqual(sorted(bands["nr"]),
                         self.run_json("bands", "set", "--nr-sa", ",".join(map(str, bands["nr"])),
                                       "--json")["nr5g_sa"]["enabled"])
        doc = self.run_json("bands", "reset", "--json")
        self.assertEqual([sorted(bands["lte"]), sorted(bands["nr"]), sorted(bands["nr"])],
                         self.kinds(doc))

    def test_a_band_the_modem_lacks_is_refused_before_anything_is_sent(self):
        before = self.run_json("bands", "--json")
        missing = next(b for b in range(1, 256) if b not in self.expected["bands"]["lte"])
        for arguments in (["--lte", str(missing)], ["--nr", "258"], ["--nr-sa", "1", "--nr", "1"]):
            result = vant("bands", "set", *arguments)
            self.assertIn(result.returncode, (EXIT_ARGUMENTS,), (arguments, result.stderr))
            self.assertEqual("", result.stdout)
        self.assertIn("LTE band %d is not supported" % missing,
                      vant("bands", "set", "--lte", str(missing)).stderr)
        self.assertEqual(before, self.run_json("bands", "--json"))


class FiveG(ScenarioTest):
    """An LTE anchor with an NR leg: the NR cell, its band and its signal."""
    scenario = "5g-nsa"

    def test_cells_signal_and_bands_show_the_nr_leg(self):
        nr = self.expected["cells"]["nr5g"]["cells"][0]
        doc = self.run_json("cells", "--json")
        cell = doc["nr5g"]
        self.assertEqual((nr["arfcn"], nr["pci"], nr["rsrp"] / 10, nr["rsrq"] / 10, nr["snr"] / 10),
                         (cell["nr_arfcn"], cell["pci"], cell["rsrp_dbm"], cell["rsrq_db"],
                          cell["sinr_db"]))
        self.assertIn({"technology": "nr5g", "band": nr["band"], "channel": nr["arfcn"]},
                      doc["bands"])
        signal = self.run_json("signal", "--json")
        self.assertEqual(nr["snr"] / 10, signal["nr5g"]["sinr_db"])
        self.assertIsNotNone(signal["lte"]["sinr_db"])

    def test_leaving_the_nr_band_out_moves_the_nr_leg(self):
        first, second = self.expected["cells"]["nr5g"]["cells"][:2]
        self.run_json("bands", "set", "--nr-nsa", str(second["band"]), "--json")
        cell = self.run_json("cells", "--json")["nr5g"]
        self.assertEqual((second["arfcn"], second["pci"]), (cell["nr_arfcn"], cell["pci"]))
        self.assertNotEqual(first["pci"], cell["pci"])

    def test_watch_writes_sinr_nr_and_the_bands(self):
        from prometheus_client.parser import text_string_to_metric_families
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "vant.prom")
            result = vant("watch", "--count", "1", "--json-lines", "--prometheus", path)
            self.assertEqual(0, result.returncode, result.stderr)
            line = json.loads(result.stdout)
            with open(path) as f:
                families = {f.name: f for f in text_string_to_metric_families(f.read())}
        nr = self.expected["cells"]["nr5g"]["cells"][0]
        self.assertEqual(nr["pci"], line["nr5g"]["pci"])
        self.assertEqual(line["signal"]["nr5g"]["rsrp_dbm"],
                         families["vant_nr5g_rsrp_dbm"].samples[0].value)
        self.assertIn("vant_sinr_db", families)
        bands = {(s.labels["technology"], s.labels["band"]) for s in families["vant_band_info"].samples}
        self.assertIn(("nr5g", str(nr["band"])), bands)


class Refusals(unittest.TestCase):
    """Bad arguments are refused before anything is started or sent."""

    def test_bad_arguments(self):
        cases = [
            [], ["frobnicate"], ["cells", "--bogus"], ["-d", "12", "cells"], ["-d", "x", "cells"],
            ["-d", "256", "cells"], ["-d", "4294967296", "cells"], ["-d", "-4294967295", "cells"],
            ["-s", "", "cells"], ["lock", "set"], ["lock", "set", "wcdma"],
            ["lock", "set", "wcdma", "16384"], ["lock", "set", "lte-pci", "100", "504"],
            ["lock", "set", "lte-earfcn", "100"], ["lock", "set", "lte-pci", "1", "2", "3"],
            ["watch", "--interval", "5x"], ["watch", "--interval", "25h"],
            ["watch", "--count", "0"], ["watch", "--prometheus", "/nonexistent/dir/vant.prom"],
            ["best-cell", "--min-rsrp=-30"], ["best-cell", "--settle", "-1s"],
            ["best-cell", "--min-rsrp", "strong"],
            ["lock", "set", "lte-pci", "100", "1", "--revert-after", "5x"],
            ["lock", "set", "lte-pci", "100", "1", "--revert-after", "20s", "--check", "true"],
            ["lock", "--revert-after", "60s"], ["pending", "--bogus"], ["confirm", "1"],
        ]
        for arguments in cases:
            result = subprocess.run([VANT, "-s", "/nonexistent/vantsdk", *arguments],
                                    capture_output=True, text=True, timeout=10)
            self.assertEqual(EXIT_ARGUMENTS, result.returncode, arguments)
            self.assertEqual("", result.stdout, arguments)
            self.assertTrue(result.stderr, arguments)
        self.assertFalse(presence_bound())

    def test_help_on_every_subcommand(self):
        for command in (["cells"], ["lock"], ["lock", "set"], ["operators"], ["device"],
                        ["watch"], ["best-cell"], ["pending"], ["confirm"], ["revert"]):
            result = subprocess.run([VANT, *command, "--help"], capture_output=True, text=True)
            self.assertEqual(0, result.returncode, command)
            self.assertIn("Usage", result.stdout, command)

    def test_no_daemon_is_unreachable(self):
        result = subprocess.run([VANT, "-s", "/nonexistent/vantsdk", "cells"],
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(EXIT_UNREACHABLE, result.returncode, result.stderr)
        self.assertIn("vant: ", result.stderr)


if __name__ == "__main__":
    python_cases.main([Cells, CellsOfEveryTechnology, CellsRefused, Lock, Operators, Device, Watch,
                       WatchDrift, BestCell, BestCellFails, BestCellWeak, BestCellInterrupted, Bands,
                       FiveG, Refusals])
