// Feeds the web API's and the rpcd plugin's readers what arrives from
// outside: a form body, a call's JSON arguments, and vant's best-cell
// document. Whatever a request carries, a plan that passes the checks hands
// vant only plain words, numbers and band lists.
//
// Input: a selector byte (0: form, 1: JSON arguments, 2: best-cell
// document; the next byte picks the endpoint or method), then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "cgi/api.h"
#include "cgi/json_arguments.h"
#include "cgi/rpcd_methods.h"

namespace {

using namespace vant::cgi;

constexpr const char* kMethods[] = {"cells",     "lock",      "operators", "scan",   "set_lock",
                                    "set_bands", "best_cell", "confirm",   "revert", "pending"};

void check_plain(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments)
    for (const char c : a)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ',')) std::abort();
}

void plan_form(uint8_t pick, std::string_view text) {
  std::map<std::string, std::string> fields;
  std::string problem;
  if (!parse_form(text, fields, problem)) return;
  const auto endpoint = static_cast<Endpoint>(pick % (static_cast<int>(Endpoint::revert) + 1));
  Plan planned;
  if (!plan(endpoint, fields, planned)) check_plain(planned.arguments);
}

void plan_call(uint8_t pick, std::string_view text) {
  std::map<std::string, std::string> arguments;
  std::string problem;
  if (!parse_json_arguments(text, arguments, problem)) return;
  const Method* method = find_method(kMethods[pick % std::size(kMethods)]);
  unsigned modem = 0;
  Plan planned;
  if (!vant::cgi::plan_call(*method, arguments, modem, planned)) {
    if (modem > 11) std::abort();
    check_plain(planned.arguments);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  switch (data[0] % 3) {
    case 0:
      plan_form(data[1], text);
      break;
    case 1:
      plan_call(data[1], text);
      break;
    default:
      check_plain(chosen_cell_lock(text, "60s"));
      break;
  }
  return 0;
}
