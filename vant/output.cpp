#include "vant/output.h"

#include <cstdio>

#include "vant/json_writer.h"

namespace vant::cli {
namespace {

std::string scalar_text(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return json_text(value);
}

void render(const Json& node, const std::string& path, std::string& out) {
  if (node.is_array()) {
    if (node.empty()) out += path + ": none\n";
    for (size_t i = 0; i < node.size(); ++i)
      render(node[i], path + "[" + std::to_string(i) + "]", out);
    return;
  }
  if (!node.is_object()) {
    out += path + ": " + scalar_text(node) + "\n";
    return;
  }
  std::string line;
  for (const auto& [key, value] : node.items()) {
    if (value.is_structured()) continue;
    line += (line.empty() ? "" : " ") + key + "=" + scalar_text(value);
  }
  if (!line.empty() || node.empty()) out += (path.empty() ? "" : path + ": ") + line + "\n";
  for (const auto& [key, value] : node.items()) {
    if (value.is_structured()) render(value, path.empty() ? key : path + "." + key, out);
  }
}

}  // namespace

std::string json_text(const Json& document, int indent) {
  return write_json(document, indent);
}

std::string document_text(const Json& document) {
  std::string out;
  render(document, "", out);
  return out;
}

void print_text(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void print_document(const Json& document, bool as_json) {
  print_text(as_json ? json_text(document, 2) + "\n" : document_text(document));
}

}  // namespace vant::cli
