// The help of a command, laid out as CLI11 laid it out: the description, the
// usage, then the positionals, options and subcommands, each in a column of
// 30, and the program's footer.
#include <string>

#include "vant/command_line.h"

namespace vant::cli {
namespace {

constexpr size_t kColumn = 30;

void append_entry(std::string& out, const std::string& name, const std::string& description) {
  const std::string left = "  " + name;
  out += left;
  if (left.size() < kColumn) out.append(kColumn - left.size(), ' ');
  if (!description.empty()) {
    if (left.size() >= kColumn) out += "\n" + std::string(kColumn, ' ');
    out += description;
  }
  out += '\n';
}

std::string usage(const std::vector<const CommandRow*>& path) {
  std::string out = "Usage:";
  for (const CommandRow* command : path) out += std::string(" ") + command->name;
  out += " [OPTIONS]";
  const CommandRow& command = *path.back();
  for (const OptionRow* option : command.options)
    if (option->names[0] != '-') out += std::string(" ") + option->names;
  if (!command.subcommands.empty())
    out += command.needs_subcommand ? " SUBCOMMAND" : " [SUBCOMMAND]";
  return out + "\n";
}

}  // namespace

std::string command_help(const std::vector<const CommandRow*>& path) {
  const CommandRow& command = *path.back();
  std::string out = std::string(command.description) + "\n" + usage(path);
  std::string positionals, options;
  for (const OptionRow* option : command.options) {
    std::string name = option->names;
    if (option->type) name += std::string(" ") + option->type;
    if (option->names[0] != '-') {
      append_entry(positionals, name + " REQUIRED", option->help);
      continue;
    }
    if (option->excludes) name += std::string(" Excludes: ") + option->excludes;
    append_entry(options, name, option->help);
  }
  if (!positionals.empty()) out += "\nPositionals:\n" + positionals;
  out += "\nOptions:\n" + options;
  if (!command.subcommands.empty()) {
    out += "\nSubcommands:\n";
    for (const CommandRow* subcommand : command.subcommands)
      append_entry(out, subcommand->name, subcommand->description);
  }
  return out + "\n" + path.front()->footer + "\n";
}

}  // namespace vant::cli
