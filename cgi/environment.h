// Settings a program of the web side may take from its environment.
#pragma once

#include <string>

namespace vant::cgi {

// Replaces value with the absolute path (at most 1024 bytes) that the
// environment variable name gives, unless the kernel ran the program set-id:
// then its environment is anybody's and value stays as it was built. False
// when the variable holds no such path.
bool override_path(const char* name, std::string& value);

}  // namespace vant::cgi
