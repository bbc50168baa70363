// vant's JSON reader on any text (what a pending change's stored text may
// hold), and its writer on any bytes: what it writes reads back, and writing
// that again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vant/json_parser.h"
#include "vant/json_writer.h"

namespace {

void expect_stable(const vant::cli::Json& value) {
  for (const int indent : {-1, 2}) {
    const std::string text = vant::cli::write_json(value, indent);
    const auto again = vant::cli::parse_json(text);
    if (!again || vant::cli::write_json(*again, indent) != text) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto parsed = vant::cli::parse_json(bytes)) expect_stable(*parsed);
  expect_stable(vant::cli::Json(std::string(bytes)));
  return 0;
}
