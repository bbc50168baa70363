#include "vant/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace vant::cli {

const OptionRow kHelpOption{"-h,--help", nullptr, "Print this help message and exit", 0};

namespace {

bool is_positional(const OptionRow& option) {
  return option.names[0] != '-';
}

bool is_flag(const OptionRow& option) {
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
std::string display_name(const OptionRow& option) {
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

class LineReader {
 public:
  LineReader(const CommandRow& program, const std::vector<std::string>& arguments)
      : left_(arguments.rbegin(), arguments.rend()), path_{&program} {}

  // Each step false when it refuses the line, with the reason in why().
  bool read() {
    while (!left_.empty()) {
      std::string token = std::move(left_.back());
      left_.pop_back();
      if (!take(std::move(token))) return false;
    }
    return true;
  }

  bool check_values() {
    for (const CommandRow* command : path_) {
      for (const OptionRow* option : command->options) {
        size_t count = 0;
        const std::string* last = nullptr;
        std::string all;
        for (const auto& [given, value] : given_) {
          if (given != option) continue;
          const std::string why = option->check ? option->check(*option, value) : "";
          if (!why.empty()) return refuse(display_name(*option) + ": " + why);
          ++count;
          last = &value;
          all += (all.empty() ? "" : ",") + value;
        }
        if (count == 0 || option == &kHelpOption) continue;
        if (is_flag(*option) && !flag_value(*last))
          return refuse("Could not convert: " + display_name(*option) + " = " + all);
        if (!is_flag(*option) && count > 1)
          return refuse(display_name(*option) + ": At Most 1 required but received " +
                        std::to_string(count));
      }
    }
    return true;
  }

  bool asks_for_help() const { return is_given(kHelpOption); }

  bool check_requirements() {
    for (const CommandRow* command : path_) {
      for (const OptionRow* option : command->options) {
        const bool present = is_given(*option);
        if (is_positional(*option) && !present)
          return refuse(display_name(*option) + " is required");
        if (const OptionRow* other = present ? excluded_given(*command, *option) : nullptr)
          return refuse(display_name(*option) + " excludes " + display_name(*other));
      }
      if (command->needs_subcommand && command == path_.back())
        return refuse("A subcommand is required");
    }
    if (extras_.empty()) return true;
    // Listed last first, as CLI11 listed them.
    std::string list;
    for (auto extra = extras_.rbegin(); extra != extras_.rend(); ++extra)
      list += (list.empty() ? "" : " ") + *extra;
    return refuse(std::string(extras_.size() > 1 ? "The following arguments were not expected: "
                                                 : "The following argument was not expected: ") +
                  list);
  }

  // The values in the table's order, each option's last; a flag as "true"
  // when it is set.
  ParsedLine line(int slot_count) const {
    ParsedLine line{path_,
                    std::vector<std::optional<std::string>>(static_cast<size_t>(slot_count))};
    for (const CommandRow* command : path_) {
      for (const OptionRow* option : command->options) {
        const std::string* last = nullptr;
        for (const auto& [given, value] : given_)
          if (given == option) last = &value;
        if (!last) continue;
        auto& slot = line.slots[static_cast<size_t>(option->slot)];
        if (!is_flag(*option)) {
          slot = *last;
        } else if (flag_value(*last).value_or(false)) {
          slot = "true";
        } else {
          slot.reset();
        }
      }
    }
    return line;
  }

  const std::vector<const CommandRow*>& path() const { return path_; }
  std::string& why() { return why_; }

 private:
  bool refuse(std::string why) {
    why_ = std::move(why);
    return false;
  }

  bool take(std::string token) {
    if (positional_only_) return positional(std::move(token));
    if (token == "--") return end_of_options();
    if (const CommandRow* subcommand = subcommand_named(token)) {
      path_.push_back(subcommand);
      current_ = path_.size() - 1;
      return true;
    }
    if (token.size() > 2 && token.starts_with("--") && starts_a_name(token[2]))
      return long_option(std::move(token));
    if (token.size() > 1 && token[0] == '-' && starts_a_name(token[1]) &&
        !std::isdigit(static_cast<unsigned char>(token[1])))
      return short_option(std::move(token));
    return positional(std::move(token));
  }

  // Only the last command given may take a subcommand, and only one.
  const CommandRow* subcommand_named(const std::string& token) const {
    if (current_ + 1 != path_.size()) return nullptr;
    for (const CommandRow* subcommand : path_.back()->subcommands)
      if (token == subcommand->name) return subcommand;
    return nullptr;
  }

  // A subcommand's options, then those of the commands above it.
  const OptionRow* option_named(std::string_view name) const {
    for (size_t level = current_ + 1; level-- > 0;)
      for (const OptionRow* option : path_[level]->options)
        if (!is_positional(*option) && names_include(option->names, name)) return option;
    return nullptr;
  }

  bool long_option(std::string token) {
    const size_t equals = token.find('=');
    const OptionRow* option = option_named(std::string_view(token).substr(0, equals));
    if (!option) return extra(std::move(token));
    if (equals == std::string::npos) return is_flag(*option) ? flag(option) : value_after(*option);
    // A flag's empty value is no value.
    std::string value = token.substr(equals + 1);
    if (is_flag(*option) && value.empty()) return flag(option);
    return give(option, std::move(value));
  }

  bool short_option(std::string token) {
    const OptionRow* option = option_named(std::string_view(token).substr(0, 2));
    if (!option) return extra(std::move(token));
    std::string rest = token.substr(2);
    if (is_flag(*option)) {
      // "-hd": -h, then -d.
      if (!rest.empty()) left_.push_back("-" + rest);
      return flag(option);
    }
    return rest.empty() ? value_after(*option) : give(option, std::move(rest));
  }

  bool give(const OptionRow* option, std::string value) {
    given_.emplace_back(option, std::move(value));
    return true;
  }

  bool flag(const OptionRow* option) { return give(option, "true"); }

  // The next argument, whatever it looks like.
  bool value_after(const OptionRow& option) {
    if (left_.empty())
      return refuse(display_name(option) + ": 1 required " + option.type + " missing");
    std::string value = std::move(left_.back());
    left_.pop_back();
    return give(&option, std::move(value));
  }

  bool positional(std::string token) {
    for (size_t level = current_ + 1; level-- > 0;)
      if (const OptionRow* open = open_positional(*path_[level]))
        return give(open, std::move(token));
    return extra(std::move(token));
  }

  // "--": back to the command above when this one has all its positionals;
  // else only positionals follow.
  bool end_of_options() {
    if (current_ > 0 && !open_positional(*path_[current_])) {
      --current_;
    } else {
      positional_only_ = true;
    }
    return true;
  }

  bool extra(std::string token) {
    extras_.push_back(std::move(token));
    return true;
  }

  const OptionRow* open_positional(const CommandRow& command) const {
    for (const OptionRow* option : command.options)
      if (is_positional(*option) && !is_given(*option)) return option;
    return nullptr;
  }

  const OptionRow* excluded_given(const CommandRow& command, const OptionRow& option) const {
    std::string_view names = option.excludes ? option.excludes : "";
    while (!names.empty()) {
      const std::string_view name = names.substr(0, names.find(' '));
      for (const OptionRow* other : command.options)
        if (names_include(other->names, name) && is_given(*other)) return other;
      names.remove_prefix(std::min(names.size(), name.size() + 1));
    }
    return nullptr;
  }

  bool is_given(const OptionRow& option) const {
    for (const auto& given : given_)
      if (given.first == &option) return true;
    return false;
  }

  std::vector<std::string> left_;  // the next argument last
  std::vector<const CommandRow*> path_;
  size_t current_ = 0;  // the command whose options are read first
  bool positional_only_ = false;
  std::vector<std::pair<const OptionRow*, std::string>> given_;
  std::vector<std::string> extras_;
  std::string why_;
};

}  // namespace

ParseOutcome parse_command_line(const CommandRow& program, int slot_count,
                                const std::vector<std::string>& arguments) {
  LineReader reader(program, arguments);
  if (!reader.read() || !reader.check_values())
    return {ParseOutcome::kRefused, std::move(reader.why()), {}};
  if (reader.asks_for_help()) return {ParseOutcome::kHelp, command_help(reader.path()), {}};
  if (!reader.check_requirements()) return {ParseOutcome::kRefused, std::move(reader.why()), {}};
  return {ParseOutcome::kParsed, "", reader.line(slot_count)};
}

}  // namespace vant::cli
