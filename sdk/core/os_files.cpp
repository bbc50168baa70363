// Process lookup by name, file existence and directory iteration.
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdk/core/os_services.h"

namespace {

constexpr size_t kLineSize = 512;
constexpr size_t kMaxIdTokenLength = 64;

// The process id at the start of a process-list line that mentions name, or
// -1 when the line does not count.
int32_t id_of_line(char* line, const char* name) {
  if (std::strstr(line, name) == nullptr) return -1;
  char* rest = nullptr;
  const char* token = strtok_r(line, " \n", &rest);
  if (token == nullptr || std::strlen(token) >= kMaxIdTokenLength) return -1;
  const auto id = static_cast<int32_t>(std::strtol(token, nullptr, 10));
  return id == getpid() ? -1 : id;
}

int32_t search_process_list(const char* command, const char* name) {
  FILE* list = popen(command, "r");
  if (list == nullptr) os_fatal("popen failed", errno);
  setvbuf(list, nullptr, _IONBF, 0);
  char line[kLineSize];
  int32_t found = -1;
  if (std::fgets(line, sizeof line, list) != nullptr) {  // column headings
    while (found < 0 && std::fgets(line, sizeof line, list) != nullptr)
      found = id_of_line(line, name);
    while (std::fgets(line, sizeof line, list) != nullptr) {  // drain, so ps ends cleanly
    }
  }
  pclose(list);
  return found;
}

}  // namespace

int32_t kel_ospidof(const char* name) {
  const int32_t found = search_process_list("ps -e", name);
  if (found >= 0) return found;
  syslog(LOG_USER | LOG_DEBUG, "#####%s####line:%d\n", "kel_ospidof", 1314);
  return search_process_list("ps", name);
}

int kel_osapi_stat(const char* path) {
  struct stat status;
  const int result = stat(path, &status);
  if (result != 0) std::perror("kel_osapi_stat");
  return result;
}

int os_dir_open(const char* path, OsDirHandle* handle) {
  handle->entry = nullptr;
  handle->dir = opendir(path);
  return handle->dir != nullptr;
}

int os_dir_read(OsDirHandle* handle) {
  if (handle->dir == nullptr) return 0;
  handle->entry = readdir(handle->dir);
  return handle->entry != nullptr;
}

int os_dir_close(OsDirHandle* handle) {
  if (handle == nullptr || handle->dir == nullptr) return 1;
  const int closed = closedir(handle->dir) == 0;
  handle->dir = nullptr;
  handle->entry = nullptr;
  return closed;
}
