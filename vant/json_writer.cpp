#include "vant/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "vant/shortest_digits.h"
#include "vant/utf8.h"

namespace vant::cli {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

void append_escaped_ascii(std::string& out, char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (static_cast<unsigned char>(c) >= 0x20) {
    out += c;
    return;
  }
  char code[8];
  std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
  out += code;
}

template <class T>
void append_integer(std::string& out, T value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void append_indent(std::string& out, int indent, int level) {
  if (indent >= 0) out.append(static_cast<size_t>(indent) * static_cast<size_t>(level), ' ');
}

void append_value(std::string& out, const Json& value, int indent, int level);

// "[" elements "]" or "{" members "}", one a line when indenting.
void append_structure(std::string& out, const Json& value, int indent, int level) {
  const bool object = value.is_object();
  if (value.empty()) {
    out += object ? "{}" : "[]";
    return;
  }
  out += object ? '{' : '[';
  if (indent >= 0) out += '\n';
  size_t index = 0;
  const auto element = [&](const std::string* key, const Json& element) {
    if (index++ > 0) out += indent >= 0 ? ",\n" : ",";
    append_indent(out, indent, level + 1);
    if (key) {
      append_json_string(out, *key);
      out += indent >= 0 ? ": " : ":";
    }
    append_value(out, element, indent, level + 1);
  };
  if (object) {
    for (const auto& [key, member] : value.items()) element(&key, member);
  } else {
    for (const Json& item : value) element(nullptr, item);
  }
  if (indent >= 0) out += '\n';
  append_indent(out, indent, level);
  out += object ? '}' : ']';
}

void append_value(std::string& out, const Json& value, int indent, int level) {
  switch (value.type()) {
    case Json::Type::kNull:
      out += "null";
      return;
    case Json::Type::kBool:
      out += value.boolean() ? "true" : "false";
      return;
    case Json::Type::kInteger:
      append_integer(out, value.integer());
      return;
    case Json::Type::kUnsigned:
      append_integer(out, value.unsigned_integer());
      return;
    case Json::Type::kReal:
      append_json_real(out, value.real());
      return;
    case Json::Type::kString:
      append_json_string(out, value.text());
      return;
    default:
      append_structure(out, value, indent, level);
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  while (!text.empty()) {
    if (static_cast<unsigned char>(text[0]) < 0x80) {
      append_escaped_ascii(out, text[0]);
      text.remove_prefix(1);
      continue;
    }
    size_t bad = 0;
    const size_t length = utf8_sequence_length(text, &bad);
    if (length > 0) {
      out.append(text.substr(0, length));
    } else {
      out += kReplacement;
    }
    text.remove_prefix(length > 0 ? length : bad);
  }
  out += '"';
}

// The shortest digits that read back as `value` (shortest_digits.h), placed as
//   digits[000].0 | dig.its | 0.[000]digits    (decimal point within 15 places)
//   d[.igits]e+XX                              (otherwise)
void append_json_real(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (std::signbit(value)) {
    out += '-';
    value = -value;
  }
  if (value == 0) {
    out += "0.0";
    return;
  }
  char buffer[17];
  int exponent = 0;
  const int k = shortest_digits(value, buffer, &exponent);
  const std::string_view digits(buffer, static_cast<size_t>(k));
  const int n = k + exponent;  // where the decimal point goes in the digits
  if (k <= n && n <= 15) {
    out += digits;
    out.append(static_cast<size_t>(n - k), '0');
    out += ".0";
  } else if (0 < n && n <= 15) {
    out.append(digits.substr(0, static_cast<size_t>(n)));
    out += '.';
    out.append(digits.substr(static_cast<size_t>(n)));
  } else if (-4 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-n), '0');
    out += digits;
  } else {
    out += digits[0];
    if (k > 1) {
      out += '.';
      out.append(digits.substr(1));
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%02d", n - 1 < 0 ? '-' : '+', std::abs(n - 1));
    out += tail;
  }
}

std::string write_json(const Json& value, int indent) {
  std::string out;
  append_value(out, value, indent, 0);
  return out;
}

}  // namespace vant::cli
