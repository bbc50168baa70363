#include "src/daemon_path.h"

#include <cstdlib>
#include <cstring>

namespace {
char* path_copy = nullptr;
}

bool copy_daemon_path(const char* path) {
  const size_t size = std::strlen(path) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy == nullptr) return false;
  std::memcpy(copy, path, size);
  std::free(path_copy);
  path_copy = copy;
  return true;
}

const char* daemon_path() {
  return path_copy;
}

void free_daemon_path() {
  std::free(path_copy);
  path_copy = nullptr;
}
