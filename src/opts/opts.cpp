// The option module's state and operations. One instance per process, as
// getopt_long itself keeps its scanning state in globals.

// The list check in opts_deinit guards against records that a caller has
// tampered with; it stays active in release builds.
#undef NDEBUG
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "src/opts/option_list.h"
#include "src/opts/opts.h"

namespace {

// Longest short-option spelling of one record: letter and two colons.
constexpr int kShortSpellingSize = 3;
constexpr size_t kMaxArgumentLength = kOptionValueSize - 1;

struct ModuleState {
  char* short_options = nullptr;
  struct option* long_options = nullptr;
  OptionEntry* head = nullptr;
};

ModuleState state;

// Appends the record's letter and its argument colons to the short-option
// string without passing the end of the buffer.
void append_short_spelling(char* out, size_t size, const struct option& opt) {
  const char* colons = opt.has_arg == required_argument   ? ":"
                       : opt.has_arg == optional_argument ? "::"
                                                          : "";
  const size_t used = std::strlen(out);
  std::snprintf(out + used, size - used, "%c%s", opt.val, colons);
}

OptionEntry* find_by_letter(int letter) {
  for (OptionEntry* entry = state.head; entry != nullptr; entry = entry->next) {
    if (entry->longOption.val == letter) return entry;
  }
  return nullptr;
}

// Exact match on the long name: a prefix of a name finds nothing.
OptionEntry* find_by_name(const char* name) {
  if (name == nullptr) return nullptr;
  const std::string_view wanted(name);
  for (OptionEntry* entry = state.head; entry != nullptr; entry = entry->next) {
    if (entry->longOption.name != nullptr && wanted == entry->longOption.name) return entry;
  }
  return nullptr;
}

// Stores what the command line gave for one option: "1" for a flag, the
// argument otherwise (an optional argument left out is the empty text).
void store_value(OptionEntry* entry, const char* argument) {
  std::memset(entry->value, 0, sizeof entry->value);
  if (entry->longOption.has_arg == no_argument) {
    std::strcpy(entry->value, "1");
  } else if (argument != nullptr) {
    std::strcpy(entry->value, argument);
  }
}

}  // namespace

int32_t opts_init(OptionEntry* entries, int32_t count) {
  if (count < 0 || (entries == nullptr && count > 0)) return kOptsInvalidTable;
  // A second init would leak the old buffers and link records twice.
  if (state.short_options != nullptr || state.long_options != nullptr || state.head != nullptr) {
    opts_deinit();
  }
  const size_t records = static_cast<size_t>(count);
  const size_t short_size = records * kShortSpellingSize + 1;
  state.short_options = static_cast<char*>(std::calloc(short_size, 1));
  if (state.short_options == nullptr) return kOptsOutOfMemory;
  state.long_options = static_cast<struct option*>(std::calloc(records + 1, sizeof(struct option)));
  if (state.long_options == nullptr) {
    std::free(state.short_options);
    state.short_options = nullptr;
    return kOptsOutOfMemory;
  }
  for (size_t i = 0; i < records; ++i) {
    append_short_spelling(state.short_options, short_size, entries[i].longOption);
    state.long_options[i] = entries[i].longOption;
    vant::opts::list_append(state.head, &entries[i]);
  }
  return 0;
}

int32_t opts_parse_args(int argc, char** argv) {
  // 0 makes getopt_long start over, exactly as on its first use in a process,
  // so that a vector can be parsed more than once (tests do).
  optind = 0;
  for (;;) {
    const int letter = getopt_long(argc, argv, state.short_options, state.long_options, nullptr);
    if (letter == -1) return 0;
    OptionEntry* entry = find_by_letter(letter);
    if (entry == nullptr) {
      // getopt_long has already explained a rejected option and returns '?'.
      std::fprintf(stderr, "option %c is not found\n", letter);
      return kOptsUnknownOption;
    }
    if (optarg != nullptr && std::strlen(optarg) > kMaxArgumentLength) {
      std::fprintf(stderr, "option %c argument is too long\n", letter);
      return kOptsArgumentTooLong;
    }
    store_value(entry, optarg);
  }
}

int32_t opts_validate() {
  for (OptionEntry* entry = state.head; entry != nullptr; entry = entry->next) {
    if (entry->validator == nullptr) continue;
    const int32_t result = entry->validator(entry);
    if (result != 0) {
      std::fprintf(stderr, "validate option %s failed\n", entry->longOption.name);
      return result;
    }
  }
  return 0;
}

int32_t opts_get_number(const char* name) {
  if (name == nullptr) return -1;
  const OptionEntry* entry = find_by_name(name);
  if (entry == nullptr) return 0;
  if (entry->type == kOptionString) return -1;
  // Decimal, stopping at the first non-digit, no error reported; out-of-range
  // values wrap to 32 bits like the C library's integer conversion. long long
  // is 64 bits on every target, where long may have only 32 and cap instead.
  return static_cast<int32_t>(std::strtoll(entry->value, nullptr, 10));
}

char* opts_get_string(const char* name) {
  OptionEntry* entry = find_by_name(name);
  return entry != nullptr ? entry->value : nullptr;
}

int32_t opts_set_validator(const char* name, OptionValidator validator) {
  OptionEntry* entry = find_by_name(name);
  if (entry != nullptr) entry->validator = validator;
  return 0;
}

void opts_dump() {
  for (const OptionEntry* entry = state.head; entry != nullptr; entry = entry->next) {
    std::fprintf(stderr, "option %s value \"%s\"\n", entry->longOption.name, entry->value);
  }
}

int32_t opts_deinit() {
  std::free(state.short_options);
  state.short_options = nullptr;
  std::free(state.long_options);
  state.long_options = nullptr;
  OptionEntry* next = nullptr;
  for (OptionEntry* opt_entry = state.head; opt_entry != nullptr; opt_entry = next) {
    next = opt_entry->next;
    // clang-format off
    assert((opt_entry)->prev != ((void *)0));
    // clang-format on
    vant::opts::list_unlink(state.head, opt_entry);
  }
  return 0;
}

const char* opts_short_options() {
  return state.short_options;
}

const struct option* opts_long_options() {
  return state.long_options;
}
