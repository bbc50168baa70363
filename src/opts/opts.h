// The option module: a caller-owned table of option records drives the
// system's getopt_long, and the values are then queried by long name.
#pragma once

#include <getopt.h>

#include <cstdint>

// Kinds of value an option holds: a numeric option can be read with
// opts_get_number, a string option only with opts_get_string.
inline constexpr uint32_t kOptionNumeric = 0;
inline constexpr uint32_t kOptionString = 1;

// Room for the value text, terminator included.
inline constexpr int kOptionValueSize = 512;

// opts_init result when the buffers cannot be allocated.
inline constexpr int32_t kOptsOutOfMemory = -12;
// opts_init result for a null table or a negative count.
inline constexpr int32_t kOptsInvalidTable = -22;
// opts_parse_args results.
inline constexpr int32_t kOptsUnknownOption = -1;
inline constexpr int32_t kOptsArgumentTooLong = -2;

struct OptionEntry;

// Returns 0 when the record's value is acceptable, non-zero otherwise.
using OptionValidator = int32_t (*)(const OptionEntry* entry);

// One option. The caller owns the array; the module links the records into
// its list and fills their values while parsing.
struct OptionEntry {
  uint32_t type;                 // kOptionNumeric or kOptionString
  struct option longOption;      // handed to getopt_long as it is; flag stays null
  char value[kOptionValueSize];  // the default until parsing stores the argument
  OptionValidator validator;     // may be null
  OptionEntry* prev;             // the head's prev is the tail
  OptionEntry* next;             // null at the tail
};

// Builds the short-option string and the long-option array from `count`
// records and links them in table order. 0, kOptsOutOfMemory or
// kOptsInvalidTable.
int32_t opts_init(OptionEntry* entries, int32_t count);

// Reads every option of the command line into its record. 0, or
// kOptsUnknownOption / kOptsArgumentTooLong after printing why; parsing stops
// at the failing option. Words that are not options are left alone. Each call
// scans the vector from its start.
int32_t opts_parse_args(int argc, char** argv);

// Runs the validators in list order: 0, or the first non-zero result after
// naming the option on standard error.
int32_t opts_validate();

// The decimal value of a numeric option: 0 when no option has that exact name
// (or its value has no digits), -1 for a null name or a string option.
int32_t opts_get_number(const char* name);

// The option's value buffer itself (valid as long as the record), or null when
// the name is null or no option has that exact name.
char* opts_get_string(const char* name);

// Replaces the validator of the named option; an unknown name changes nothing.
// Always 0.
int32_t opts_set_validator(const char* name, OptionValidator validator);

// Prints every option and its value on standard error.
void opts_dump();

// Frees the module's buffers and empties the list; the records stay with the
// caller. Always 0.
int32_t opts_deinit();

// The scanner tables that opts_init built (null before opts_init and after
// opts_deinit), for diagnostics.
const char* opts_short_options();
const struct option* opts_long_options();

// Stock validators for option tables.
int32_t opts_validate_any(const OptionEntry* entry);       // always 0
int32_t opts_validate_nonempty(const OptionEntry* entry);  // -1 for an empty value
// -1 unless the whole value is a signed integer in automatic base (decimal,
// 0x hexadecimal, 0 octal); leading blanks and a sign are allowed and an empty
// value passes.
int32_t opts_validate_integer(const OptionEntry* entry);
