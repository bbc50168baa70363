// The package version is built from the first FILE version with a usable
// field and completed once from a second one: a placeholder first field
// ("9999..." or overly long) is replaced by the real one from the other
// version. Once completed (state 3) it never changes again.
#include "sdk/firmware/package_version.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "sdk/firmware/version_text.h"
#include "vantsdk/firmware.h"

namespace vant {
namespace {

constexpr uint32_t kStatePlaceholderFirst = 1;
constexpr uint32_t kStateValueFirst = 2;
constexpr uint32_t kStateComplete = 3;
constexpr char kUnknownFields[] = "_?_?_?_?_?";

std::mutex g_mutex;
PackageVersion g_package{};

// Appends to a zero-filled text buffer; the callers' texts are bounded so that
// the sum stays below the buffer size, and the guard keeps it so regardless.
class TextBuilder {
 public:
  explicit TextBuilder(char (&text)[kImageVersionSize]) : text_(text) {
    std::memset(text_, 0, kImageVersionSize);
  }
  TextBuilder& operator<<(std::string_view part) {
    const size_t room = kImageVersionSize - 1 - size_;
    const size_t n = part.size() < room ? part.size() : room;
    std::memcpy(text_ + size_, part.data(), n);
    size_ += n;
    return *this;
  }

 private:
  char* text_;
  size_t size_ = 0;
};

// Overwrites the first (length of prefix - 1) characters of text with those of
// prefix. The last character of the field is left as it was.
void overlay_prefix(char (&text)[kImageVersionSize], std::string_view prefix) {
  const size_t n = prefix.size() - 1;
  std::memcpy(text, prefix.data(), n < kImageVersionSize - 1 ? n : kImageVersionSize - 1);
}

bool report_failure(int line) {
  std::printf("Error in function: %s[line:%d] creating package version string\n",
              "fill_in_firmware_info", line);
  return false;
}

void build(std::string_view version, unsigned kind, bool listed_chipset) {
  TextBuilder text(g_package.text);
  if (kind == 1 || listed_chipset) {
    text << version;
  } else {
    text << *version_field(version, 0) << "_";
    if (const auto second = version_field(version, 1)) text << *second << kUnknownFields;
  }
  g_package.state = kind == 1 ? kStatePlaceholderFirst : kStateValueFirst;
  g_package.built = true;
}

bool complete(std::string_view version, unsigned kind) {
  if (g_package.state == kStatePlaceholderFirst && kind == 2) {
    const auto first = version_field(version, 0);
    if (!first || first->empty()) return report_failure(682);
    overlay_prefix(g_package.text, *first);
    g_package.state = kStateComplete;
  } else if (g_package.state == kStateValueFirst && kind == 1) {
    const auto first = version_field(g_package.text, 0);
    if (!first || first->empty()) return report_failure(693);
    char stored_first[kImageVersionSize] = {};
    std::memcpy(stored_first, first->data(), first->size());
    TextBuilder(g_package.text) << version;
    overlay_prefix(g_package.text, std::string_view(stored_first, first->size()));
    g_package.state = kStateComplete;
  }
  return true;
}

}  // namespace

bool take_into_package_version(std::string_view version, bool listed_chipset, uint32_t* state) {
  const std::lock_guard lock(g_mutex);
  const unsigned kind = classify_version_text(version);
  bool ok = true;
  if (!g_package.built && kind != 0) {
    build(version, kind, listed_chipset);
  } else {
    ok = complete(version, kind);
  }
  *state = g_package.state;
  return ok;
}

void reset_package_version_for_testing() {
  const std::lock_guard lock(g_mutex);
  g_package = {};
}

}  // namespace vant

uint32_t GetPackageVersion(PackageVersion* version) {
  if (!version) return 4;
  const std::lock_guard lock(vant::g_mutex);
  *version = vant::g_package;
  return 0;
}
