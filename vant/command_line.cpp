#include "vant/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace vant::cli {

const OptionSpec kHelpOption{"-h,--help", nullptr, "Print this help message and exit", 0};

namespace {

bool is_positional(const OptionSpec& option) {
  return option.names[0] != '-';
}

bool is_flag(const OptionSpec& option) {
  return option.type == nullptr;
}

// Whether `names` ("-d,--modem") has `name` ("--modem", "-d").
bool names_include(std::string_view names, std::string_view name) {
  while (!names.empty()) {
    const size_t comma = names.find(',');
    if (names.substr(0, comma) == name) return true;
    names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
  }
  return false;
}

// The long name if there is one, as messages name an option.
std::string display_name(const OptionSpec& option) {
  const std::string_view names = option.names;
  const size_t at = names.find("--");
  return std::string(at == std::string_view::npos ? names : names.substr(at));
}

// How a flag's "--flag=VALUE" reads: yes/no words, or a number's sign.
std::optional<bool> flag_value(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.size() == 1) {
    const char c = lower[0];
    if ((c >= '1' && c <= '9') || c == 't' || c == 'y' || c == '+') return true;
    if (c == '0' || c == 'f' || c == 'n' || c == '-') return false;
    return std::nullopt;
  }
  if (lower == "true" || lower == "on" || lower == "yes" || lower == "enable") return true;
  if (lower == "false" || lower == "off" || lower == "no" || lower == "disable") return false;
  errno = 0;
  char* end = nullptr;
  const long long number = std::strtoll(lower.c_str(), &end, 10);
  if (end == lower.c_str()) return std::nullopt;
  if (errno == ERANGE) return text[0] != '-';
  return number > 0;
}

// CLI11's test for what may follow the dashes of an option.
bool starts_a_name(char c) {
  return c != '-' && c != '!' && c != ' ' && c != '\n';
}

ParseOutcome refused(std::string why) {
  return {ParseOutcome::kRefused, std::move(why), {}};
}

class LineReader {
 public:
  LineReader(const CommandSpec& program, const std::vector<std::string>& arguments)
      : left_(arguments.rbegin(), arguments.rend()), path_{&program} {}

  // The refusal that ends the reading, if any.
  std::optional<ParseOutcome> read() {
    while (!left_.empty()) {
      std::string token = std::move(left_.back());
      left_.pop_back();
      if (auto refusal = take(std::move(token))) return refusal;
    }
    return std::nullopt;
  }

  std::optional<ParseOutcome> check_values() const {
    for (const CommandSpec* command : path_) {
      for (const OptionSpec* option : command->options) {
        const std::vector<std::string> values = values_of(*option);
        if (values.empty() || option == &kHelpOption) continue;
        for (const std::string& value : values) {
          const std::string why = option->check ? option->check(*option, value) : "";
          if (!why.empty()) return refused(display_name(*option) + ": " + why);
        }
        if (is_flag(*option) && !flag_value(values.back())) {
          std::string all;
          for (const std::string& value : values) all += (all.empty() ? "" : ",") + value;
          return refused("Could not convert: " + display_name(*option) + " = " + all);
        }
        if (!is_flag(*option) && values.size() > 1)
          return refused(display_name(*option) + ": At Most 1 required but received " +
                         std::to_string(values.size()));
      }
    }
    return std::nullopt;
  }

  bool asks_for_help() const {
    return std::any_of(given_.begin(), given_.end(),
                       [](const auto& given) { return given.first == &kHelpOption; });
  }

  std::optional<ParseOutcome> check_requirements() const {
    for (const CommandSpec* command : path_) {
      for (const OptionSpec* option : command->options) {
        const bool present = is_given(*option);
        if (is_positional(*option) && !present)
          return refused(display_name(*option) + " is required");
        if (const OptionSpec* other = present ? excluded_given(*command, *option) : nullptr)
          return refused(display_name(*option) + " excludes " + display_name(*other));
      }
      if (command->needs_subcommand && command == path_.back())
        return refused("A subcommand is required");
    }
    if (extras_.empty()) return std::nullopt;
    // Listed last first, as CLI11 listed them.
    std::string list;
    for (auto extra = extras_.rbegin(); extra != extras_.rend(); ++extra)
      list += (list.empty() ? "" : " ") + *extra;
    return refused(std::string(extras_.size() > 1 ? "The following arguments were not expected: "
                                                  : "The following argument was not expected: ") +
                   list);
  }

  ParsedLine line(int slot_count) const {
    ParsedLine line{path_,
                    std::vector<std::optional<std::string>>(static_cast<size_t>(slot_count))};
    for (const CommandSpec* command : path_) {
      for (const OptionSpec* option : command->options) {
        const std::vector<std::string> values = values_of(*option);
        if (values.empty()) continue;
        auto& slot = line.slots[static_cast<size_t>(option->slot)];
        if (!is_flag(*option)) {
          slot = values.back();
        } else if (flag_value(values.back()).value_or(false)) {
          slot = "true";
        } else {
          slot.reset();
        }
      }
    }
    return line;
  }

  const std::vector<const CommandSpec*>& path() const { return path_; }

 private:
  std::optional<ParseOutcome> take(std::string token) {
    if (positional_only_) return positional(std::move(token));
    if (token == "--") return end_of_options();
    if (const CommandSpec* subcommand = subcommand_named(token)) {
      path_.push_back(subcommand);
      current_ = path_.size() - 1;
      return std::nullopt;
    }
    if (token.size() > 2 && token.starts_with("--") && starts_a_name(token[2]))
      return long_option(std::move(token));
    if (token.size() > 1 && token[0] == '-' && starts_a_name(token[1]) &&
        !std::isdigit(static_cast<unsigned char>(token[1])))
      return short_option(std::move(token));
    return positional(std::move(token));
  }

  // Only the last command given may take a subcommand, and only one.
  const CommandSpec* subcommand_named(const std::string& token) const {
    if (current_ + 1 != path_.size()) return nullptr;
    for (const CommandSpec* subcommand : path_.back()->subcommands)
      if (token == subcommand->name) return subcommand;
    return nullptr;
  }

  // A subcommand's options, then those of the commands above it.
  const OptionSpec* option_named(std::string_view name) const {
    for (size_t level = current_ + 1; level-- > 0;)
      for (const OptionSpec* option : path_[level]->options)
        if (!is_positional(*option) && names_include(option->names, name)) return option;
    return nullptr;
  }

  std::optional<ParseOutcome> long_option(std::string token) {
    const size_t equals = token.find('=');
    const OptionSpec* option = option_named(std::string_view(token).substr(0, equals));
    if (!option) return extra(std::move(token));
    if (equals != std::string::npos) {
      // A flag's empty value is no value.
      std::string value = token.substr(equals + 1);
      given_.emplace_back(option, is_flag(*option) && value.empty() ? "true" : std::move(value));
      return std::nullopt;
    }
    return is_flag(*option) ? flag(option) : value_after(*option);
  }

  std::optional<ParseOutcome> short_option(std::string token) {
    const OptionSpec* option = option_named(std::string_view(token).substr(0, 2));
    if (!option) return extra(std::move(token));
    std::string rest = token.substr(2);
    if (is_flag(*option)) {
      // "-hd": -h, then -d.
      if (!rest.empty()) left_.push_back("-" + rest);
      return flag(option);
    }
    if (rest.empty()) return value_after(*option);
    given_.emplace_back(option, std::move(rest));
    return std::nullopt;
  }

  std::optional<ParseOutcome> flag(const OptionSpec* option) {
    given_.emplace_back(option, "true");
    return std::nullopt;
  }

  // The next argument, whatever it looks like.
  std::optional<ParseOutcome> value_after(const OptionSpec& option) {
    if (left_.empty())
      return refused(display_name(option) + ": 1 required " + option.type + " missing");
    given_.emplace_back(&option, std::move(left_.back()));
    left_.pop_back();
    return std::nullopt;
  }

  std::optional<ParseOutcome> positional(std::string token) {
    for (size_t level = current_ + 1; level-- > 0;)
      if (const OptionSpec* open = open_positional(*path_[level])) {
        given_.emplace_back(open, std::move(token));
        return std::nullopt;
      }
    return extra(std::move(token));
  }

  // "--": back to the command above when this one has all its positionals;
  // else only positionals follow.
  std::optional<ParseOutcome> end_of_options() {
    if (current_ > 0 && !open_positional(*path_[current_])) {
      --current_;
    } else {
      positional_only_ = true;
    }
    return std::nullopt;
  }

  std::optional<ParseOutcome> extra(std::string token) {
    extras_.push_back(std::move(token));
    return std::nullopt;
  }

  const OptionSpec* open_positional(const CommandSpec& command) const {
    for (const OptionSpec* option : command.options)
      if (is_positional(*option) && !is_given(*option)) return option;
    return nullptr;
  }

  const OptionSpec* excluded_given(const CommandSpec& command, const OptionSpec& option) const {
    std::string_view names = option.excludes ? option.excludes : "";
    while (!names.empty()) {
      const std::string_view name = names.substr(0, names.find(' '));
      for (const OptionSpec* other : command.options)
        if (names_include(other->names, name) && is_given(*other)) return other;
      names.remove_prefix(std::min(names.size(), name.size() + 1));
    }
    return nullptr;
  }

  bool is_given(const OptionSpec& option) const {
    return std::any_of(given_.begin(), given_.end(),
                       [&](const auto& given) { return given.first == &option; });
  }

  std::vector<std::string> values_of(const OptionSpec& option) const {
    std::vector<std::string> values;
    for (const auto& [given, value] : given_)
      if (given == &option) values.push_back(value);
    return values;
  }

  std::vector<std::string> left_;  // the next argument last
  std::vector<const CommandSpec*> path_;
  size_t current_ = 0;  // the command whose options are read first
  bool positional_only_ = false;
  std::vector<std::pair<const OptionSpec*, std::string>> given_;
  std::vector<std::string> extras_;
};

}  // namespace

ParseOutcome parse_command_line(const CommandSpec& program, int slot_count,
                                const std::vector<std::string>& arguments) {
  LineReader reader(program, arguments);
  if (auto refusal = reader.read()) return std::move(*refusal);
  if (auto refusal = reader.check_values()) return std::move(*refusal);
  if (reader.asks_for_help()) return {ParseOutcome::kHelp, command_help(reader.path()), {}};
  if (auto refusal = reader.check_requirements()) return std::move(*refusal);
  return {ParseOutcome::kParsed, "", reader.line(slot_count)};
}

}  // namespace vant::cli
