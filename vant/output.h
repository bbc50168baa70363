// Documents on standard output: JSON for scripts, or the same content as
// lines of "path: key=value ..." for people.
#pragma once

#include "vant/cell_report.h"

namespace vant::cli {

void print_document(const Json& document, bool as_json);

// One line per object: its path, then its scalar members as key=value; the
// arrays and objects inside it follow on lines of their own.
std::string document_text(const Json& document);

}  // namespace vant::cli
