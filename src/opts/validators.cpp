// Stock validators that option tables can use.
#include <cstdlib>

#include "src/opts/opts.h"

int32_t opts_validate_any(const OptionEntry* /*entry*/) {
  return 0;
}

int32_t opts_validate_nonempty(const OptionEntry* entry) {
  return entry->value[0] != '\0' ? 0 : -1;
}

int32_t opts_validate_integer(const OptionEntry* entry) {
  // The value is only checked for its form; range is the reader's business.
  char* end = nullptr;
  (void)std::strtol(entry->value, &end, 0);
  return *end == '\0' ? 0 : -1;
}
