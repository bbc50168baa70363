// What the daemon reads of a confirmed change: a journal file found at
// start-up, a client's begin request and a read-back answer to compare. The
// first byte chooses which. A journal that decodes must survive its own
// encoding unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "daemon/change_messages.h"
#include "daemon/change_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vant::daemon;
  if (size == 0) return 0;
  const std::span<const uint8_t> rest(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      const auto record =
          decode_change(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
      if (record && decode_change(encode_change(*record)) != record) std::abort();
      break;
    }
    case 1: {
      const ParsedBegin parsed = parse_begin(rest);
      if (parsed.request.has_value() == (parsed.refusal != 0)) std::abort();
      break;
    }
    default: {
      const size_t half = rest.size() / 2;
      read_back_matches(rest.first(half), rest.subspan(half));
      break;
    }
  }
  return 0;
}
