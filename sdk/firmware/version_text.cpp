#include "sdk/firmware/version_text.h"

#include <cstring>

#include "vantsdk/firmware.h"

namespace vant {

std::optional<std::string_view> version_field(std::string_view text, size_t index) {
  for (size_t i = 0; i < index; ++i) {
    const size_t separator = text.find('_');
    if (separator == std::string_view::npos) return std::nullopt;
    text.remove_prefix(separator + 1);
  }
  return text.substr(0, text.find('_'));
}

bool version_field_has_value(std::string_view field) {
  constexpr size_t kPlaceholderLength = 11;
  return field.size() < kPlaceholderLength &&
         field.find_first_not_of('9') != std::string_view::npos;
}

unsigned classify_version_text(std::string_view text) {
  const auto first = version_field(text, 0);
  if (first && version_field_has_value(*first)) return 2;
  const auto second = version_field(text, 1);
  return second && version_field_has_value(*second) ? 1 : 0;
}

std::optional<std::string_view> terminated_text(const char* field, size_t size) {
  const void* end = std::memchr(field, '\0', size);
  if (!end) return std::nullopt;
  return std::string_view(field, size_t(static_cast<const char*>(end) - field));
}

}  // namespace vant

uint32_t classify_version(const char* version) {
  if (!version) return 0;
  return vant::classify_version_text(version);
}
