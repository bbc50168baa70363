#include "cgi/json_arguments.h"

#include <cstdint>

#include "vant/utf8.h"

namespace vant::cgi {
namespace {

using cli::append_utf8;
using cli::valid_utf8;

constexpr size_t kMaxMembers = 16;
constexpr size_t kMaxName = 64;
constexpr size_t kMaxValue = 1024;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void skip_blanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool done() const { return at_ >= text_.size(); }
  char peek() const { return done() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (done() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool string(std::string& out, size_t limit);
  bool whole_number(std::string& out);

 private:
  bool hex4(uint32_t& value);

  std::string_view text_;
  size_t at_ = 0;
};

bool Reader::hex4(uint32_t& value) {
  if (text_.size() - at_ < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = text_[at_++];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

bool Reader::string(std::string& out, size_t limit) {
  out.clear();
  if (!take('"')) return false;
  while (!done()) {
    const char c = text_[at_++];
    if (c == '"') return out.size() <= limit && valid_utf8(out);
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (out.size() > limit) return false;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (done()) return false;
    const char escaped = text_[at_++];
    switch (escaped) {
      case '"':
      case '\\':
      case '/':
        out += escaped;
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        uint32_t code = 0;
        if (!hex4(code) || (code >= 0xDC00 && code <= 0xDFFF)) return false;
        if (code >= 0xD800 && code <= 0xDBFF) {  // a high surrogate: its low one follows
          uint32_t low = 0;
          if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        append_utf8(out, code);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

// -?(0|[1-9][0-9]*), at most 20 characters, with no fraction or exponent.
bool Reader::whole_number(std::string& out) {
  const size_t start = at_;
  take('-');
  if (!(peek() >= '0' && peek() <= '9')) return false;
  if (take('0')) {
    if (peek() >= '0' && peek() <= '9') return false;
  } else {
    while (peek() >= '0' && peek() <= '9') ++at_;
  }
  if (peek() == '.' || peek() == 'e' || peek() == 'E') return false;
  out.assign(text_.substr(start, at_ - start));
  return out.size() <= 20;
}

}  // namespace

bool parse_json_arguments(std::string_view text, std::map<std::string, std::string>& fields,
                          std::string& problem) {
  fields.clear();
  Reader in(text);
  in.skip_blanks();
  if (in.done()) return true;
  problem = "the arguments must be one JSON object of strings and whole numbers";
  if (!in.take('{')) return false;
  in.skip_blanks();
  if (!in.take('}')) {
    do {
      in.skip_blanks();
      std::string name, value;
      if (!in.string(name, kMaxName) || name.empty()) return false;
      in.skip_blanks();
      if (!in.take(':')) return false;
      in.skip_blanks();
      const bool quoted = in.peek() == '"';
      if (!(quoted ? in.string(value, kMaxValue) : in.whole_number(value))) {
        problem = "argument " + name +
                  (quoted ? " is not a well-formed string of at most 1024 bytes of UTF-8"
                          : " must be a string or a whole number");
        return false;
      }
      if (fields.size() >= kMaxMembers) {
        problem = "too many arguments";
        return false;
      }
      if (!fields.emplace(name, value).second) {
        problem = "argument " + name + " is given twice";
        return false;
      }
      in.skip_blanks();
    } while (in.take(','));
    if (!in.take('}')) return false;
  }
  in.skip_blanks();
  if (!in.done()) return false;
  problem.clear();
  return true;
}

}  // namespace vant::cgi
