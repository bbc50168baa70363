#include "vant/command_table.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "vant/commands.h"
#include "vant/duration.h"

namespace vant::cli {
namespace {

// Decimal digits (after white space and an optional +) within the range.
std::string unsigned_in_range(const OptionRow& option, const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\n\v\f\r");
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  const bool number = start != std::string::npos && text[start] != '-' && !text.empty() &&
                      *end == '\0' && errno == 0;
  if (number && value >= option.low && value <= option.high) return "";
  return "Value " + text + " not in range " + std::to_string(static_cast<unsigned>(option.low)) +
         " to " + std::to_string(static_cast<unsigned>(option.high));
}

// A decimal or hexadecimal number, not NaN, within the range.
std::string real_in_range(const OptionRow& option, const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (!text.empty() && *end == '\0' && value >= option.low && value <= option.high) return "";
  return "Value " + text + " not in range " + std::to_string(option.low) + " to " +
         std::to_string(option.high);
}

std::string duration(const OptionRow&, const std::string& text) {
  return parse_duration(text) ? "" : "not a duration such as 5s, 500ms or 2m";
}

// The metrics file goes into a directory that exists.
std::string file_in_directory(const OptionRow&, const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  struct stat st {};
  if (path.empty() || path.back() == '/') return "not a file name";
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return "no directory " + dir + " to write it in";
  return "";
}

std::string lte_bands(const OptionRow&, const std::string& text) {
  return band_list_problem(text, false).value_or("");
}

std::string nr_bands(const OptionRow&, const std::string& text) {
  return band_list_problem(text, true).value_or("");
}

std::string not_empty(const OptionRow&, const std::string& path) {
  return path.empty() ? "empty path" : "";
}

constexpr char kDurationType[] = "TEXT:DURATION";

const OptionRow kModem{"-d,--modem",
                       "UINT:UINT in [0 - 11]",
                       "modem index 0 to 11 (default 0)",
                       kSlotModem,
                       unsigned_in_range,
                       0,
                       11};
const OptionRow kSdkPath{"-s,--sdk-path", "TEXT",
                         "the daemon to start when none runs (default /usr/sbin/vantsdk)",
                         kSlotSdkPath, not_empty};

// --revert-after, --check and --settle of a lock or band change.
const OptionRow kRevertAfter{
    "--revert-after", kDurationType,
    "let the daemon undo the change after DURATION unless `vant confirm` keeps it",
    kSlotRevertAfter, duration};
const OptionRow kCheck{"--check", "TEXT",
                       "after the settle time run CMD (with /bin/sh); keep the change only if it "
                       "exits 0, else undo it",
                       kSlotCheck};
const OptionRow kSettle{"--settle", kDurationType, "time before the check (default 20s)",
                        kSlotSettle, duration};

const OptionRow* const kJustHelp[] = {&kHelpOption};

// A command whose only option is its --json.
#define VANT_JSON_COMMAND(command, name, description, what)                                 \
  const OptionRow command##Json{"--json", nullptr, "print " what " as JSON (docs/json.md)", \
                                kSlotJson};                                                 \
  const OptionRow* const command##Options[] = {&kHelpOption, &command##Json};               \
  const CommandRow command{name, description, command##Options};

VANT_JSON_COMMAND(kCells, "cells", "the serving and neighbour cells of every technology",
                  "the cells")
VANT_JSON_COMMAND(kOperators, "operators", "scan for networks (up to five minutes)",
                  "the operators")
VANT_JSON_COMMAND(kDevice, "device", "the modem's node, model, firmware and IMEI", "the device")
VANT_JSON_COMMAND(kPending, "pending", "the change the daemon undoes unless confirmed",
                  "the pending change")
VANT_JSON_COMMAND(kConfirm, "confirm", "keep the pending change", "what was kept")
VANT_JSON_COMMAND(kRevert, "revert", "undo the pending change now", "what was undone")
VANT_JSON_COMMAND(kSignal, "signal", "signal quality per technology, SINR included", "the signal")
#undef VANT_JSON_COMMAND

// lock
const OptionRow kUarfcn{
    "UARFCN", "UINT:UINT in [0 - 16383]", "", kSlotFirstNumber, unsigned_in_range, 0, 16383};
const OptionRow kEarfcn0{
    "EARFCN0", "UINT:UINT in [0 - 262143]", "", kSlotFirstNumber, unsigned_in_range, 0, 262143};
const OptionRow kEarfcn1{
    "EARFCN1", "UINT:UINT in [0 - 262143]", "", kSlotSecondNumber, unsigned_in_range, 0, 262143};
const OptionRow kEarfcn{
    "EARFCN", "UINT:UINT in [0 - 262143]", "", kSlotFirstNumber, unsigned_in_range, 0, 262143};
const OptionRow kPci{"PCI", "UINT:UINT in [0 - 503]", "", kSlotSecondNumber, unsigned_in_range, 0,
                     503};
const OptionRow* const kWcdmaOptions[] = {&kHelpOption, &kUarfcn, &kRevertAfter, &kCheck, &kSettle};
const OptionRow* const kPairOptions[] = {&kHelpOption,  &kEarfcn0, &kEarfcn1,
                                         &kRevertAfter, &kCheck,   &kSettle};
const OptionRow* const kCellOptions[] = {&kHelpOption,  &kEarfcn, &kPci,
                                         &kRevertAfter, &kCheck,  &kSettle};
const OptionRow* const kHoldOptions[] = {&kHelpOption, &kRevertAfter, &kCheck, &kSettle};
const CommandRow kLockWcdma{"wcdma", "lock to one WCDMA channel", kWcdmaOptions};
const CommandRow kLockPair{"lte-earfcn", "lock to an LTE channel pair (clears WCDMA)",
                           kPairOptions};
const CommandRow kLockCell{"lte-pci", "lock to one LTE cell (clears the channel pair)",
                           kCellOptions};
const CommandRow* const kLockKinds[] = {&kLockWcdma, &kLockPair, &kLockCell};
const CommandRow kLockShow{"show", "show the lock the modem holds (the default)", kJustHelp};
const CommandRow kLockSet{"set", "lock, then read back what the modem holds", kJustHelp, kLockKinds,
                          true};
const CommandRow kLockClear{"clear", "unlock all three kinds", kHoldOptions};
const CommandRow* const kLockCommands[] = {&kLockShow, &kLockSet, &kLockClear};
const OptionRow kLockJson{"--json", nullptr,
                          "print the lock the modem holds as JSON (docs/json.md)", kSlotJson};
const OptionRow* const kLockOptions[] = {&kHelpOption, &kLockJson};
const CommandRow kLock{"lock", "show, set or clear the channel lock", kLockOptions, kLockCommands};

// watch
const OptionRow kInterval{"--interval", kDurationType, "time between polls (default 5s)",
                          kSlotInterval, duration};
const OptionRow kCount{"--count",
                       "UINT:UINT in [1 - 1000000000]",
                       "stop after N polls (default: until interrupted)",
                       kSlotCount,
                       unsigned_in_range,
                       1,
                       1000000000};
const OptionRow kJsonLines{"--json-lines", nullptr, "print one JSON object per poll",
                           kSlotJsonLines};
const OptionRow kPrometheus{"--prometheus", "TEXT:FILE",
                            "write each poll to FILE in the Prometheus text format, atomically",
                            kSlotPrometheus, file_in_directory};
const OptionRow* const kWatchOptions[] = {&kHelpOption, &kInterval, &kCount, &kJsonLines,
                                          &kPrometheus};
const CommandRow kWatch{"watch", "poll the serving cell and its signal", kWatchOptions};

// best-cell
const OptionRow kDryRun{"--dry-run", nullptr, "only rank the cells", kSlotDryRun};
const OptionRow kMinRsrp{"--min-rsrp",
                         "FLOAT:FLOAT in [-140 - -44]",
                         "lowest RSRP in dBm a cell may have (default -110)",
                         kSlotMinRsrp,
                         real_in_range,
                         -140,
                         -44};
const OptionRow kBestSettle{"--settle", kDurationType,
                            "time to wait before checking the lock (default 20s)", kSlotSettle,
                            duration};
const OptionRow kBestCheck{"--check", "TEXT",
                           "after the settle time run CMD (with /bin/sh) too; keep the lock only "
                           "if it exits 0",
                           kSlotCheck};
const OptionRow kBestJson{"--json", nullptr,
                          "print the candidates and the outcome as JSON (docs/json.md)", kSlotJson};
const OptionRow* const kBestCellOptions[] = {&kHelpOption, &kDryRun,    &kMinRsrp,
                                             &kBestSettle, &kBestCheck, &kBestJson};
const CommandRow kBestCell{
    "best-cell", "lock to the strongest LTE cell, check it, undo if it fails", kBestCellOptions};

// bands
const OptionRow kLte{"--lte", "TEXT:LIST", "LTE bands, such as 1,3,7-8", kSlotLte, lte_bands};
const OptionRow kNr{"--nr",  "TEXT:LIST",       "NR5G bands for both SA and NSA",
                    kSlotNr, nr_bands,          0,
                    0,       "--nr-sa --nr-nsa"};
const OptionRow kNrSa{"--nr-sa", "TEXT:LIST", "NR5G standalone bands", kSlotNrSa, nr_bands, 0,
                      0,         "--nr"};
const OptionRow kNrNsa{
    "--nr-nsa", "TEXT:LIST", "NR5G non-standalone bands", kSlotNrNsa, nr_bands, 0, 0, "--nr"};
const OptionRow kBandsChangeJson{
    "--json", nullptr, "print the bands the modem holds afterwards as JSON (docs/json.md)",
    kSlotJson};
const OptionRow* const kBandsSetOptions[] = {&kHelpOption, &kLte,    &kNr,
                                             &kNrSa,       &kNrNsa,  &kRevertAfter,
                                             &kCheck,      &kSettle, &kBandsChangeJson};
const OptionRow* const kBandsResetOptions[] = {&kHelpOption, &kRevertAfter, &kCheck, &kSettle,
                                               &kBandsChangeJson};
const CommandRow kBandsShow{"show", "the supported and enabled bands of each kind (the default)",
                            kJustHelp};
const CommandRow kBandsSet{"set", "enable these bands (others of the kind off)", kBandsSetOptions};
const CommandRow kBandsReset{"reset", "enable every supported band", kBandsResetOptions};
const CommandRow* const kBandsCommands[] = {&kBandsShow, &kBandsSet, &kBandsReset};
const OptionRow kBandsJson{"--json", nullptr, "print the bands as JSON (docs/json.md)", kSlotJson};
const OptionRow* const kBandsOptions[] = {&kHelpOption, &kBandsJson};
const CommandRow kBands{"bands", "the LTE and NR5G bands: supported, enabled, set", kBandsOptions,
                        kBandsCommands};

const OptionRow* const kVantOptions[] = {&kHelpOption, &kModem, &kSdkPath};
const CommandRow* const kVantCommands[] = {&kCells,  &kLock,     &kOperators, &kDevice,
                                           &kWatch,  &kBestCell, &kPending,   &kConfirm,
                                           &kRevert, &kBands,    &kSignal};

}  // namespace

const CommandRow kVantCommand{
    "vant",
    "vant: the cellular modem for scripts and people.",
    kVantOptions,
    kVantCommands,
    true,
    "Exit status: 0 success; 1 modem or QMI error; 2 bad arguments; 3 daemon or modem "
    "unreachable;\n4 no new lock kept (best-cell, or a failed --check); 5 a local file could "
    "not be written;\n128+N interrupted by signal N."};

}  // namespace vant::cli
