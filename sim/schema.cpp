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

// Text safe in a roff line: backslashes and hyphens escaped, and a line that
// would begin with a control character defused.
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
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
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
  out += ".SS " + roff_text(o.name) + "\n" + roff_text(o.meaning) + "\n";
  for (const auto& f : o.fields)
    out += ".TP\n.B " + roff_text(f.name) + "\n(" + roff_text(f.takes) + ")\n" +
           roff_text(f.meaning) + "\n";
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
