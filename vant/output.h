// Documents on standard output: JSON for scripts, or the same content as
// lines of "path: key=value ..." for people.
#pragma once

#include "vant/cell_report.h"

namespace vant::cli {

void print_document(const Json& document, bool as_json);
// Writes `text` to standard output at once.
void print_text(const std::string& text);

// The document as JSON text (indented when `indent` is not negative). Texts
// from the modem need not be UTF-8: bytes that are not become U+FFFD rather
// than an error.
std::string json_text(const Json& document, int indent = -1);

// One line per object: its path, then its scalar members as key=value; the
// arrays and objects inside it follow on lines of their own.
std::string document_text(const Json& document);

}  // namespace vant::cli
