#include "sim/scenario_json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/messages.h"
#include "sim/nas_encoding.h"
#include "sim/schema.h"

namespace vant::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// Everything a scenario puts on the wire.
Bytes wire_of(const Scenario& s) {
  qmux::TlvBuilder out;
  encode_cell_location(s.cells, out);
  encode_network_scan(s.scan, s.networks, s.registered, out);
  encode_channel_locks(s.locks, out);
  return out.take();
}

std::string scenario_path(const std::string& name) {
  return std::string(VANT_SOURCE_DIR) + "/sim/scenarios/" + name;
}

TEST(Scenario, DefaultFileIsTheBuiltInDefault) {
  std::string error;
  const auto file = load_scenario_file(scenario_path("default.json"), error);
  ASSERT_TRUE(file) << error;
  const Scenario builtin = default_scenario();
  EXPECT_EQ(wire_of(builtin), wire_of(*file));
  EXPECT_EQ(builtin.identity.imei, file->identity.imei);
  EXPECT_EQ(builtin.identity.model, file->identity.model);
  EXPECT_EQ(builtin.identity.firmware_revision, file->identity.firmware_revision);
  EXPECT_EQ(builtin.sessions[0].ipv4, file->sessions[0].ipv4);
  EXPECT_EQ(builtin.scan.duration_ms, file->scan.duration_ms);
  EXPECT_EQ(builtin.bands, file->bands);
  auto snrs = [](const Scenario& s) {
    std::vector<int16_t> out;
    for (const auto& c : s.cells.lte_intra->cells) out.push_back(c.snr);
    for (const auto& f : s.cells.lte_inter->frequencies) {
      for (const auto& c : f.cells) out.push_back(c.snr);
    }
    return out;
  };
  EXPECT_EQ(snrs(builtin), snrs(*file));
}

TEST(Scenario, EveryBundledScenarioLoads) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(bundled_scenario_dir())) {
    if (entry.path().extension() != ".json") continue;
    std::string error;
    const auto s = load_scenario_file(entry.path(), error);
    EXPECT_TRUE(s) << error;
    if (s) {
      EXPECT_EQ(entry.path().stem().string(), s->name);
    }
    ++count;
  }
  EXPECT_GE(count, 11u);
}

TEST(Scenario, BundledNamesResolve) {
  std::string error;
  const auto by_name = load_scenario_argument("modem-flaps", error);
  ASSERT_TRUE(by_name) << error;
  EXPECT_EQ(6000u, by_name->behaviour.repeat_every_ms);
  EXPECT_TRUE(load_scenario_argument("slow-scan.json", error));
  EXPECT_EQ("default", load_scenario_argument("", error)->name);
  EXPECT_FALSE(load_scenario_argument("no-such-scenario", error));
  EXPECT_NE(std::string::npos, error.find("no-such-scenario")) << error;
}

TEST(Scenario, LongListsScenarioHasWhatItsNameSays) {
  std::string error;
  const auto s = load_scenario_argument("every-technology-long-lists", error);
  ASSERT_TRUE(s) << error;
  const Cells& c = s->cells;
  EXPECT_TRUE(c.geran && c.umts && c.cdma && c.lte_intra && c.lte_inter && c.lte_gsm &&
              c.lte_wcdma && c.umts_cell_id && c.wcdma_lte);
  ASSERT_EQ(255u, c.lte_inter->frequencies.size());
  EXPECT_EQ(2u, c.lte_inter->frequencies[0].cells.size());
  EXPECT_EQ(3u, c.lte_inter->frequencies[1].cells.size());
  EXPECT_TRUE(c.umts->instances.empty());
  // The answer fits the 2048-byte buffers of the client library.
  qmux::TlvBuilder out;
  out.add_result(0);
  encode_cell_location(c, out);
  EXPECT_LE(out.area().size() + 4 + 19, 2048u);
}

Bytes cells_wire(const Cells& cells) {
  qmux::TlvBuilder out;
  encode_cell_location(cells, out);
  return out.take();
}

// On top of a base, each technology or data instance given replaces the
// base's own, null (for a technology) removes it, and the rest of the base
// stays. Each row edits the default the way its document should.
TEST(Scenario, ABaseKeepsWhatTheDocumentDoesNotReplace) {
  struct Row {
    const char* document;
    void (*edit)(Scenario&);
  };
  const Row rows[] = {
      {R"({"base": "default", "cells": {"cdma": {"sid": 1, "nid": 2, "base_id": 3, "ref_pn": 4,
          "base_latitude": 5, "base_longitude": 6}}})",
       [](Scenario& s) { s.cells.cdma = Cdma{1, 2, 3, 4, 5, 6}; }},
      {R"({"base": "default", "cells": {"umts": null}})",
       [](Scenario& s) { s.cells.umts.reset(); }},
      // A technology given is whole: fields it leaves out do not come from the base.
      {R"({"base": "default", "cells": {"lte_intra": {"earfcn": 2000}}})",
       [](Scenario& s) {
         s.cells.lte_intra.emplace();
         s.cells.lte_intra->earfcn = 2000;
       }},
      {R"({"base": "default", "cells": {}})", [](Scenario&) {}},
      {R"({"base": "default", "sessions": [{"instance": 3, "ipv4": 7}]})",
       [](Scenario& s) {
         s.sessions[3] = {7, 0};
       }},
      {R"({"base": "default", "sessions": [{"instance": 0}]})",
       [](Scenario& s) { s.sessions[0] = {}; }},
  };
  for (const auto& row : rows) {
    std::string error;
    const auto s = parse_scenario(row.document, "t.json", error);
    ASSERT_TRUE(s) << error;
    Scenario expected = default_scenario();
    row.edit(expected);
    EXPECT_EQ(cells_wire(expected.cells), cells_wire(s->cells)) << row.document;
    for (size_t i = 0; i < kDataInstances; ++i) {
      EXPECT_EQ(expected.sessions[i].ipv4, s->sessions[i].ipv4) << row.document << " #" << i;
      EXPECT_EQ(expected.sessions[i].ipv6, s->sessions[i].ipv6) << row.document << " #" << i;
    }
    EXPECT_EQ(expected.locks, s->locks) << row.document;
  }
}

TEST(Scenario, WithoutABaseOnlyWhatIsGivenIsThere) {
  std::string error;
  const auto s = parse_scenario(R"({"cells": {"cdma": {"sid": 9}}, "sessions": [{"instance": 2,
      "ipv6": 4}]})",
                                "t.json", error);
  ASSERT_TRUE(s) << error;
  Cells expected;
  expected.cdma.emplace();
  expected.cdma->sid = 9;
  EXPECT_EQ(cells_wire(expected), cells_wire(s->cells));
  EXPECT_EQ(0u, s->sessions[0].ipv4);
  EXPECT_EQ(4u, s->sessions[2].ipv6);
}

TEST(Scenario, PlmnTextsAndHexIntegers) {
  std::string error;
  const auto s = parse_scenario(R"({"cells": {"geran": {"plmn": "310-26", "cell_id": "0xA1B2"},
      "lte_intra": {"plmn": "310-260"}, "umts": {"plmn": [1, 2, 3]}}})",
                                "t.json", error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ((Plmn{0x13, 0xF0, 0x62}), s->cells.geran->plmn);
  EXPECT_EQ(0xA1B2u, s->cells.geran->cell_id);
  EXPECT_EQ((Plmn{0x13, 0x00, 0x62}), s->cells.lte_intra->plmn);
  EXPECT_EQ((Plmn{1, 2, 3}), s->cells.umts->plmn);
}

TEST(Scenario, WcdmaLteWordsTakeIntegersOrFloats) {
  std::string error;
  const auto s = parse_scenario(
      R"({"cells": {"wcdma_lte": {"cells": [{"rsrp": 80, "rsrq": -1}, {"rsrp": -95.5}]}}})",
      "t.json", error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(80u, s->cells.wcdma_lte->cells[0].rsrp);
  EXPECT_EQ(0xFFFFFFFFu, s->cells.wcdma_lte->cells[0].rsrq);
  EXPECT_EQ(0xC2BF0000u, s->cells.wcdma_lte->cells[1].rsrp);
}

// A cell's own drift stays with the cell; the common one is the behaviour's.
TEST(Scenario, DriftsAreReadIntoTheirCells) {
  std::string error;
  const auto s = load_scenario_argument("drifting-signal", error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ((Drift{20000, 0, 20, 60, 40, 0}), s->behaviour.drift);
  const auto& f = s->cells.lte_inter->frequencies.at(0);
  ASSERT_EQ(2000, f.earfcn);
  EXPECT_EQ(41, f.cells.at(0).pci);
  EXPECT_EQ((Drift{20000, 10000, 30, 120, 100, 0}), f.cells.at(0).drift);
}

// Each bad document must be refused with a message that names the file and,
// where there is one, the field.
TEST(Scenario, BadDocumentsNameFileAndField) {
  struct Row {
    const char* text;
    const char* expected;
  };
  const Row rows[] = {
      {R"({"cells": )", R"(scenario "bad.json": not valid JSON)"},
      {R"({"cells": {"umts": {"rscp": 1E400}}})", R"(scenario "bad.json": not valid JSON)"},
      {R"([1, 2])", "field \"(top level)\": expected an object"},
      {R"({"cells": {"umts": {"rscp": "loud"}}})",
       R"(field "cells.umts.rscp": expected an integer)"},
      {R"({"cells": {"umts": {"rscp": 40000}}})",
       R"(field "cells.umts.rscp": expected an integer from -32768 to 32767)"},
      {R"({"cells": {"lte_inter": {"frequencies": [{}, {"cells": [{"pci": -1}]}]}}})",
       R"(field "cells.lte_inter.frequencies[1].cells[0].pci")"},
      {R"({"cells": {"lte_intra": {"earfnc": 1}}})",
       R"(field "cells.lte_intra.earfnc": unknown field)"},
      {R"({"networks": [{"mcc": 310}]})", R"(field "networks[0].mnc": missing)"},
      {R"({"networks": [{"mcc": 310, "mnc": 1, "roaming": 4}]})", R"(field "networks[0].roaming")"},
      {R"({"cells": {"geran": {"plmn": "31-0260"}}})", R"(field "cells.geran.plmn")"},
      {R"({"locks": {"lte_pci": {"status": 2}}})", R"(field "locks.lte_pci.status")"},
      {R"({"sessions": [{"instance": 8}]})", R"(field "sessions[0].instance")"},
      {R"({"sessions": [{"instance": 2}, {"instance": 2, "ipv4": 1}]})",
       R"(field "sessions[1].instance": instance 2 given twice)"},
      {R"({"behaviour": {"messages": {"nas.cell_location": {}}}})",
       R"(field "behaviour.messages.nas.cell_location": unknown message name)"},
      {R"({"behaviour": {"messages": {"*": {"malformed": "broken"}}}})",
       R"(field "behaviour.messages.*.malformed")"},
      {R"({"behaviour": {"outages": [{"at_ms": 100, "for_ms": 50}, {"at_ms": 120, "for_ms": 5}]}})",
       R"(field "behaviour.outages[1].at_ms")"},
      {R"({"behaviour": {"outages": [{"at_ms": 100}], "repeat_every_ms": 500}})",
       R"(field "behaviour.outages[0].for_ms")"},
      {R"({"scan": {"value_list": [)"
       "{}"
       R"(]}, "scan2": 1})",
       R"(field "scan2": unknown field)"},
      {R"({"base": "fancy"})", R"(field "base")"},
      {R"({"scan": {"lists": ["networks", "operators"]}})", R"(field "scan.lists[1]")"},
      {R"({"behaviour": {"drift": {"rsrp": 10}}})",
       R"(field "behaviour.drift.period_ms": missing)"},
      {R"({"behaviour": {"drift": {"period_ms": 0}}})", R"(field "behaviour.drift.period_ms")"},
      {R"({"cells": {"lte_intra": {"cells": [{"when_locked": {"service": false, "rsrp": -1200}}]}}})",
       R"(field "cells.lte_intra.cells[0].when_locked": a cell without service)"},
      {R"({"cells": {"lte_intra": {"cells": [{"when_locked": {"afer_ms": 1}}]}}})",
       R"(field "cells.lte_intra.cells[0].when_locked.afer_ms": unknown field)"},
      {R"({"bands": {"lte": [3, 1, 3]}})", R"(field "bands.lte": band 3 given twice)"},
      {R"({"bands": {"lte": [0]}})", R"(field "bands.lte[0]": expected an integer from 1 to 256)"},
      {R"({"bands": {"nr": [513]}})", R"(field "bands.nr[0]")"},
      {R"({"bands": {"lte": [1], "preference": {"lte": [2]}}})",
       R"(field "bands.preference.lte": band 2 is not in bands.lte)"},
      {R"({"bands": {"nr": [78], "preference": {"nr_nsa": []}}})",
       R"(field "bands.preference.nr_nsa": at least one band)"},
      {R"({"cells": {"nr5g": {"cells": [{"arfcn": 1}]}}})",
       R"(field "cells.nr5g.cells[0].band": missing)"},
      {R"({"cells": {"nr5g": {"cells": [{"band": 4}]}}})",
       R"(field "cells.nr5g.cells[0].band": n4 has no active band value)"},
      {R"({"cells": {"nr5g": {"cells": [{"band": 78, "pci": 1008}]}}})",
       R"(field "cells.nr5g.cells[0].pci")"},
      {R"({"cells": {"nr5g": {"tac": 16777216}}})", R"(field "cells.nr5g.tac")"},
      {R"({"cells": {"nr5g": {"idle": true}}})", R"(field "cells.nr5g.cells": an idle NR leg)"},
      {R"({"cells": {"lte_intra": {"earfcn": 7, "cells": [{"pci": 1, "drift": {"period_ms": 1}}]},
          "lte_inter": {"frequencies": [{"earfcn": 7, "cells": [{"pci": 1, "when_locked": {}}]}]}}})",
       R"(field "cells.lte_inter.frequencies[0].cells[0]": EARFCN 7 PCI 1 already has)"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_FALSE(parse_scenario(row.text, "bad.json", error)) << row.text;
    EXPECT_NE(std::string::npos, error.find("scenario \"bad.json\"")) << error;
    EXPECT_NE(std::string::npos, error.find(row.expected)) << error;
  }
}

TEST(Scenario, ListsLongerThanACountByteAreRefused) {
  std::string cells = R"({"cells": {"lte_intra": {"cells": [)";
  for (int i = 0; i < 256; ++i) cells += std::string(i ? "," : "") + "{}";
  cells += "]}}}";
  std::string error;
  EXPECT_FALSE(parse_scenario(cells, "long.json", error));
  EXPECT_NE(std::string::npos, error.find("cells.lte_intra.cells\": at most 255 entries")) << error;
}

// The parser and the reader both descend into what they read: a document
// nested without end, or too large, is refused before either starts.
TEST(Scenario, DeepOrLargeDocumentsAreRefusedCleanly) {
  auto nested = [](size_t depth, const std::string& open, const std::string& close) {
    std::string text;
    for (size_t i = 0; i < depth; ++i) text += open;
    for (size_t i = 0; i < depth; ++i) text += close;
    return text;
  };
  struct Row {
    std::string text;
    const char* expected;  // nullptr: accepted
  };
  const Row rows[] = {
      {nested(50000, "[", "]"), "nested more than 32 levels deep"},
      {nested(50000, R"({"a":)", "}"), "nested more than 32 levels deep"},
      {"{\"cells\": " + nested(40, "[", "]") + "}", "nested more than 32 levels deep"},
      // Brackets inside texts, escaped quotes included, are not nesting.
      {R"({"description": "\")" + std::string(100, '[') + R"("})", nullptr},
      {R"({"description": ")" + std::string(size_t{1} << 20, 'x') + R"("})",
       "larger than 1048576 bytes"},
  };
  for (const auto& row : rows) {
    std::string error;
    const auto s = parse_scenario(row.text, "deep.json", error);
    EXPECT_EQ(row.expected == nullptr, s.has_value()) << error;
    if (row.expected) {
      EXPECT_NE(std::string::npos, error.find(row.expected)) << error;
    }
  }
  // A file is read no further than the limit.
  const std::string path = ::testing::TempDir() + "/large-scenario.json";
  std::ofstream(path) << R"({"description": ")" << std::string(3 << 20, 'x') << R"("})";
  std::string error;
  EXPECT_FALSE(load_scenario_file(path, error));
  EXPECT_NE(std::string::npos, error.find("larger than 1048576 bytes")) << error;
  std::filesystem::remove(path);
}

// The field reference of the documentation is the reader's own table.
TEST(Scenario, DocumentsCarryTheFieldReferenceAndEveryMessageName) {
  struct Doc {
    const char* path;
    schema::Format format;
    const char* begin;
    const char* end;
  };
  const Doc docs[] = {
      {"/docs/scenarios.md", schema::Format::markdown, "<!-- BEGIN scenario-fields -->\n",
       "<!-- END scenario-fields -->"},
      {"/docs/man/vantsim-scenario.5", schema::Format::roff, ".\\\" BEGIN scenario-fields\n",
       ".\\\" END scenario-fields"},
  };
  for (const auto& doc : docs) {
    std::ifstream in(std::string(VANT_SOURCE_DIR) + doc.path);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    const auto begin = text.find(doc.begin);
    const auto end = text.find(doc.end);
    ASSERT_TRUE(begin != std::string::npos && end != std::string::npos) << doc.path;
    const auto from = begin + std::string(doc.begin).size();
    std::istringstream expected(scenario_field_reference(doc.format));
    std::istringstream found(text.substr(from, end - from));
    std::string want, got;
    for (size_t line = 1;; ++line) {
      const bool more_expected = static_cast<bool>(std::getline(expected, want));
      const bool more_found = static_cast<bool>(std::getline(found, got));
      if (!more_expected && !more_found) break;
      if (more_expected == more_found && want == got) continue;
      ADD_FAILURE() << doc.path << " is out of date from its reference line " << line
                    << " (run scripts/scenario-fields): expected \""
                    << (more_expected ? want : "(end)") << "\", found \""
                    << (more_found ? got : "(end)") << "\"";
      break;
    }
    for (const auto& m : message_table())
      EXPECT_NE(std::string::npos, text.find(std::string(m.name))) << doc.path << ": " << m.name;
  }
}

TEST(Scenario, UnreadableFileIsNamed) {
  std::string error;
  EXPECT_FALSE(load_scenario_file("/nonexistent/x.json", error));
  EXPECT_EQ("scenario \"/nonexistent/x.json\": cannot be read", error);
}

}  // namespace
}  // namespace vant::sim
