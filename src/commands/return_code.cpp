// The result code line, and its reason where the code has a text.
#include <cinttypes>
#include <cstdio>

#include "src/commands.h"
#include "vantsdk/result_codes.h"

void PrintReturnCode(FILE* stream, uint32_t code) {
  std::fprintf(stream, "Return Code: %" PRIu32 "\n", code);
  if (const char* reason = result_code_text(code); reason != nullptr)
    std::fprintf(stream, "Return Reason: %s\n", reason);
}
