#include "cgi/environment.h"

#include <sys/auxv.h>

#include <cstdlib>
#include <cstring>

namespace vant::cgi {

bool override_path(const char* name, std::string& value) {
  const char* given = std::getenv(name);
  if (given == nullptr || getauxval(AT_SECURE) != 0) return true;
  if (given[0] != '/' || std::strlen(given) > 1024) return false;
  value = given;
  return true;
}

}  // namespace vant::cgi
