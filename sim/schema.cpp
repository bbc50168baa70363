#include "sim/schema.h"

#include <set>

namespace vant::sim::schema {
namespace {

void visit(const Object& object, std::set<const Object*>& seen, std::vector<ObjectDoc>& out) {
  if (!seen.insert(&object).second) return;
  out.push_back(object.doc());
  for (const Object* child : object.children()) visit(*child, seen, out);
}

std::string markdown_cell(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

// Text safe in roff: backslashes and hyphens escaped.
std::string roff_text(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

// roff text filled into lines of at most 80 bytes, broken at spaces; a line
// that would begin with a control character is defused.
std::string roff_lines(const std::string& text) {
  constexpr size_t kWidth = 80;
  const std::string escaped = roff_text(text);
  std::string out, line;
  auto flush = [&] {
    if (line.empty()) return;
    if (line[0] == '.' || line[0] == '\'') line.insert(0, "\\&");
    out += line + "\n";
    line.clear();
  };
  size_t at = 0;
  while (at < escaped.size()) {
    const size_t space = escaped.find(' ', at);
    const std::string word =
        escaped.substr(at, space == std::string::npos ? std::string::npos : space - at);
    at = space == std::string::npos ? escaped.size() : space + 1;
    if (word.empty()) continue;
    if (!line.empty() && line.size() + 1 + word.size() > kWidth) flush();
    line += (line.empty() ? "" : " ") + word;
  }
  flush();
  return out;
}

void render_text(const ObjectDoc& o, std::string& out) {
  out += o.name + "\n  " + o.meaning + "\n";
  for (const auto& f : o.fields)
    out += "  " + f.name + " (" + f.takes + ")\n      " + f.meaning + "\n";
}

void render_markdown(const ObjectDoc& o, std::string& out) {
  out +=
      "#### `" + o.name + "`\n\n" + o.meaning + "\n\n| Field | Takes | Meaning |\n|---|---|---|\n";
  for (const auto& f : o.fields)
    out += "| `" + f.name + "` | " + markdown_cell(f.takes) + " | " + markdown_cell(f.meaning) +
           " |\n";
}

void render_roff(const ObjectDoc& o, std::string& out) {
  out += ".SS " + roff_text(o.name) + "\n" + roff_lines(o.meaning);
  for (const auto& f : o.fields)
    out += ".TP\n.B " + roff_text(f.name) + "\n" + roff_lines("(" + f.takes + ")") +
           roff_lines(f.meaning);
}

}  // namespace

std::vector<ObjectDoc> collect(const Object& top) {
  std::set<const Object*> seen;
  std::vector<ObjectDoc> out;
  visit(top, seen, out);
  return out;
}

std::string render(const std::vector<ObjectDoc>& objects, Format format) {
  std::string out;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (i && format != Format::roff) out += "\n";
    switch (format) {
      case Format::text:
        render_text(objects[i], out);
        break;
      case Format::markdown:
        render_markdown(objects[i], out);
        break;
      case Format::roff:
        render_roff(objects[i], out);
        break;
    }
  }
  return out;
}

}  // namespace vant::sim::schema
