// Parsing of the "setchanlock" argument.
#include "src/commands/chan_lock_text.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vant {
namespace {

// The keyword selects the form when the first field begins with it.
struct FormKeyword {
  std::string_view keyword;
  ChanLockForm form;
  int numbers;
};

constexpr FormKeyword kForms[] = {
    {"WcdmaUARFCN", ChanLockForm::kWcdmaUarfcn, 1},
    {"LteEARFCN", ChanLockForm::kLteEarfcn, 2},
    {"LtePCI", ChanLockForm::kLtePci, 2},
};

// Decimal like the C library's integer conversion (leading blanks and a sign
// accepted, stops at the first non-digit, 0 without digits), reduced to 32
// bits so that -5 becomes 4294967291. The conversion is to long long, which is
// 64 bits everywhere: a 32-bit long would cap 4294967295 at 2147483647.
uint32_t to_number(const char* field) {
  return static_cast<uint32_t>(std::strtoll(field, nullptr, 10));
}

const FormKeyword* match_form(const char* field) {
  for (const FormKeyword& f : kForms)
    if (std::strncmp(field, f.keyword.data(), f.keyword.size()) == 0) return &f;
  return nullptr;
}

// Whether the numbers are acceptable for the form: every form needs a non-zero
// first number; the PCI form also a non-zero PCI, while an LTE secondary EARFCN
// may be 0.
bool numbers_valid(ChanLockForm form, uint32_t first, uint32_t second) {
  if (first == 0) return false;
  return form != ChanLockForm::kLtePci || second != 0;
}

}  // namespace

ChanLockText parse_chan_lock_text(char* text) {
  constexpr ChanLockText kInvalid{ChanLockForm::kInvalid, 0, 0};
  if (text == nullptr) return kInvalid;
  char* rest = nullptr;
  const char* field = strtok_r(text, ",", &rest);
  if (field == nullptr) return kInvalid;
  const FormKeyword* form = match_form(field);
  if (form == nullptr) return kInvalid;

  uint32_t numbers[2] = {0, 0};
  for (int i = 0; i < form->numbers; ++i) {
    const char* number = strtok_r(nullptr, ",", &rest);
    if (number == nullptr) return kInvalid;
    numbers[i] = to_number(number);
  }
  if (!numbers_valid(form->form, numbers[0], numbers[1])) return kInvalid;
  return {form->form, numbers[0], numbers[1]};
}

}  // namespace vant
