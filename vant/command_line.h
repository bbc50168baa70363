// A command line of nested subcommands, each with its options and
// positionals, read from a table. It reads and answers as vant's command line
// always has (the CLI11 library read it before):
//   --name value, --name=value, -x value, -xvalue, -hd 3 (a flag, then -d);
//   a subcommand's options may also be given after its subcommands;
//   "--" ends the options of a subcommand whose positionals are all given;
//   each option once (flags may repeat: the last counts);
//   checks in table order, then --help, then what is missing or excluded,
//   then the arguments left over.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vant::cli {

struct OptionRow;
// Why a value is refused, or nothing when it is taken.
using ValueCheck = std::string (*)(const OptionRow& option, const std::string& value);

struct OptionRow {
  const char* names;  // "-d,--modem", "--json"; a positional has a bare name, "UARFCN"
  const char* type;   // the value as the help names it ("UINT:UINT in [0 - 11]"); null: a flag
  const char* help;
  int slot;  // where ParsedLine keeps the value
  ValueCheck check = nullptr;
  double low = 0, high = 0;  // the range that `check` may hold the value to
  const char* excludes =
      nullptr;  // options of the same command it cannot go with, "--nr-sa --nr-nsa"
};

// -h,--help: every command's first option. Its slot is 0.
extern const OptionRow kHelpOption;

struct CommandRow {
  const char* name;
  const char* description;
  std::span<const OptionRow* const> options;  // in the help's order, kHelpOption first
  std::span<const CommandRow* const> subcommands = {};
  bool needs_subcommand = false;  // else at most one
  const char* footer = nullptr;   // the program's: ends every help
};

struct ParsedLine {
  std::vector<const CommandRow*> path;            // the program, then each subcommand given
  std::vector<std::optional<std::string>> slots;  // by OptionRow::slot; a flag set holds "true"
  bool has(int slot) const { return slots[static_cast<size_t>(slot)].has_value(); }
  const std::string& value(int slot) const { return *slots[static_cast<size_t>(slot)]; }
};

struct ParseOutcome {
  enum Kind { kParsed, kHelp, kRefused } kind;
  std::string text;  // the help, or why the line was refused
  ParsedLine line;
};

// `slot_count` bounds every slot of the table.
ParseOutcome parse_command_line(const CommandRow& program, int slot_count,
                                const std::vector<std::string>& arguments);

// The help of the last command of `path`.
std::string command_help(const std::vector<const CommandRow*>& path);

// What a refusal adds under its reason.
inline constexpr char kHelpHint[] = "Run with --help for more information.";

}  // namespace vant::cli
