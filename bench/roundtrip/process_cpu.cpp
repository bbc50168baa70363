#include "bench/roundtrip/process_cpu.h"

#include <dirent.h>

#include <cinttypes>
#include <cstdio>
#include <string>

namespace vant::bench {
namespace {

// The first field of schedstat: time spent on a CPU, in nanoseconds.
std::optional<int64_t> thread_cpu_ns(const std::string& task_dir) {
  std::FILE* file = std::fopen((task_dir + "/schedstat").c_str(), "r");
  if (file == nullptr) return std::nullopt;
  int64_t ns = 0;
  const bool read = std::fscanf(file, "%" SCNd64, &ns) == 1;
  std::fclose(file);
  if (!read) return std::nullopt;
  return ns;
}

}  // namespace

std::optional<ProcessCpu> process_cpu(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return std::nullopt;
  ProcessCpu cpu;
  bool main_seen = false;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const auto ns = thread_cpu_ns(tasks + "/" + entry->d_name);
    if (!ns) continue;  // a thread that ended meanwhile
    if (std::to_string(pid) == entry->d_name) {
      cpu.main_ns = *ns;
      main_seen = true;
    } else {
      cpu.others_ns += *ns;
    }
  }
  closedir(dir);
  if (!main_seen) return std::nullopt;
  return cpu;
}

}  // namespace vant::bench
