// The arguments of an rpcd call: one flat JSON object whose members are
// strings or whole numbers, read into the same name-to-text map as a form,
// so that the web API's checks judge them (api.h, plan).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vant::cgi {

// Empty text (or only blanks) is no arguments. Anything else must be one
// object of at most 16 members, each name given once; strings must be valid
// UTF-8. A number keeps its JSON text. False, with the problem, otherwise.
bool parse_json_arguments(std::string_view text, std::map<std::string, std::string>& fields,
                          std::string& problem);

}  // namespace vant::cgi
