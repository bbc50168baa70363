#include "vant/json_parser.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vant/utf8.h"

namespace vant::cli {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_digit(char c) {
  if (is_digit(c)) return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool value(Json& out, int depth) {
    skip_space();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
        return depth < kMaxJsonDepth && object(out, depth);
      case '[':
        return depth < kMaxJsonDepth && array(out, depth);
      case '"': {
        std::string text;
        if (!string(text)) return false;
        out = Json(std::move(text));
        return true;
      }
      case 't':
        out = true;
        return word("true");
      case 'f':
        out = false;
        return word("false");
      case 'n':
        out = nullptr;
        return word("null");
      default:
        return number(out);
    }
  }

  bool at_end() {
    skip_space();
    return at_ == text_.size();
  }

 private:
  bool next_is(char c) {
    skip_space();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  void skip_space() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool word(std::string_view expected) {
    if (text_.substr(at_, expected.size()) != expected) return false;
    at_ += expected.size();
    return true;
  }

  bool object(Json& out, int depth) {
    ++at_;
    out = Json::object();
    if (next_is('}')) return true;
    do {
      std::string key;
      Json member;
      skip_space();
      if (!string(key) || !next_is(':') || !value(member, depth + 1)) return false;
      out[key] = std::move(member);
    } while (next_is(','));
    return next_is('}');
  }

  bool array(Json& out, int depth) {
    ++at_;
    out = Json::array();
    if (next_is(']')) return true;
    do {
      Json element;
      if (!value(element, depth + 1)) return false;
      out.push_back(std::move(element));
    } while (next_is(','));
    return next_is(']');
  }

  bool digits() {
    const size_t start = at_;
    while (at_ < text_.size() && is_digit(text_[at_])) ++at_;
    return at_ > start;
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
  bool number(Json& out) {
    const size_t start = at_;
    const bool negative = word("-");
    if (at_ >= text_.size() || !is_digit(text_[at_])) return false;
    if (!word("0")) digits();
    bool integral = true;
    if (word(".")) {
      if (!digits()) return false;
      integral = false;
    }
    if (word("e") || word("E")) {
      if (!word("+")) word("-");
      if (!digits()) return false;
      integral = false;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + at_;
    if (integral &&
        (negative ? integer<int64_t>(first, last, out) : integer<uint64_t>(first, last, out)))
      return true;
    // Too large for 64 bits, or a fraction: the nearest double, and none
    // beyond the doubles' range.
    const double real = std::strtod(std::string(first, last).c_str(), nullptr);
    out = real;
    return std::isfinite(real);
  }

  template <class T>
  static bool integer(const char* first, const char* last, Json& out) {
    T value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return false;
    out = value;
    return true;
  }

  bool hex4(uint32_t& code) {
    if (text_.size() - at_ < 4) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hex_digit(text_[at_++]);
      if (digit < 0) return false;
      code = code << 4 | static_cast<uint32_t>(digit);
    }
    return true;
  }

  // \uXXXX, with a surrogate pair as one code point.
  bool unicode_escape(std::string& out) {
    uint32_t code = 0;
    if (!hex4(code) || (code >= 0xDC00 && code <= 0xDFFF)) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      uint32_t low = 0;
      if (!word("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    append_utf8(out, code);
    return true;
  }

  bool escape(std::string& out) {
    if (at_ >= text_.size()) return false;
    const char c = text_[at_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += c;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        return unicode_escape(out);
      default:
        return false;
    }
  }

  bool string(std::string& out) {
    if (!word("\"")) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        ++at_;
        if (!escape(out)) return false;
        continue;
      }
      size_t bad = 0;
      const size_t length = utf8_sequence_length(text_.substr(at_), &bad);
      if (length == 0) return false;
      out.append(text_.substr(at_, length));
      at_ += length;
    }
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

std::optional<Json> parse_json(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a byte order mark
  Reader reader(text);
  Json value;
  if (!reader.value(value, 0) || !reader.at_end()) return std::nullopt;
  return value;
}

}  // namespace vant::cli
