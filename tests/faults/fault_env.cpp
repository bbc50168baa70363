#include "tests/faults/fault_env.h"

#include <dirent.h>
#include <grp.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/daemon/test_client.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace vant::faults {
namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";

bool drop_to_nobody() {
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

// Whether uid 65534 can read the file, folders on the way included.
bool nobody_can_read(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) _exit(drop_to_nobody() && access(path.c_str(), R_OK) == 0 ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// vantctl as the unprivileged user starts. Natively setpriv hands the path to
// the kernel with the capabilities it still holds, so a build in a folder
// that user cannot enter (a clone under `mktemp -d`) runs all the same. Under
// emulation qemu opens the program itself, already as that user, and fails
// without a word: there it runs from a copy in a folder anyone can enter.
std::string vantctl_for_nobody() {
  const std::string built = bin_dir() + "/vantctl";
  if (nobody_can_read(built)) return built;
  static const test::TempDir folder;
  const std::string copy = folder.path() + "/vantctl";
  std::error_code failed;
  std::filesystem::copy_file(built, copy, std::filesystem::copy_options::overwrite_existing,
                             failed);
  chmod(folder.path().c_str(), 0755);
  chmod(copy.c_str(), 0755);
  return copy;
}

}  // namespace

std::string bin_dir() {
  const char* other = std::getenv("VANT_FAULTS_BIN_DIR");
  return other != nullptr && *other != '\0' ? other : VANT_BIN_DIR;
}

std::vector<std::string> vantctl_argv(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{bin_dir() + "/vantctl", "-s", bin_dir() + "/vantsdk-sim"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

std::string scenario_argument(const std::string& name) {
  const std::string file = VANT_SOURCE_DIR "/tests/faults/scenarios/" + name + ".json";
  return access(file.c_str(), R_OK) == 0 ? file : name;
}

SimDaemon::SimDaemon(const std::string& scenario)
    : daemon_({bin_dir() + "/vantsdk", "--simulate=" + scenario_argument(scenario), "--foreground",
               "0"}) {
  // Its channel pairs too: they are bound after the presence socket.
  ready_ = daemon_.wait_for_presence(0) && daemon::testing::wait_for_daemon(0);
}

void SimDaemon::kill_hard() {
  kill(daemon_.pid(), SIGKILL);
  daemon_.stop(milliseconds(1000));
}

ProcessResult vantctl(const std::vector<std::string>& arguments, milliseconds timeout) {
  return test::run_process(vantctl_argv(arguments), timeout);
}

ProcessResult vantctl_as_nobody(const std::vector<std::string>& arguments, milliseconds timeout) {
  std::vector<std::string> argv{kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
  auto rest = vantctl_argv(arguments);
  rest[0] = vantctl_for_nobody();
  argv.insert(argv.end(), rest.begin(), rest.end());
  return test::run_process(argv, timeout);
}

ProcessResult vant(const std::vector<std::string>& arguments, milliseconds timeout) {
  std::vector<std::string> argv{bin_dir() + "/vant", "-s", bin_dir() + "/vantsdk-sim"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return test::run_process(argv, timeout);
}

bool socket_owners_visible() {
  const int diag = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (diag < 0) return false;
  close(diag);
  return true;
}

bool can_become_nobody() {
  if (access(kSetpriv, X_OK) != 0) return false;
  const pid_t child = fork();
  if (child == 0) _exit(drop_to_nobody() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

pid_t spawn_body(bool as_nobody, const std::function<void()>& body) {
  const pid_t child = fork();
  if (child != 0) return child;
  if (as_nobody && !drop_to_nobody()) _exit(2);
  body();
  _exit(0);
}

void end_child(pid_t pid) {
  test::kill_child(pid);
}

void send_to_name(const std::string& name, const std::vector<uint8_t>& bytes) {
  const int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un to{};
  to.sun_family = AF_UNIX;
  std::snprintf(to.sun_path + 1, sizeof to.sun_path - 1, "%s", name.c_str());
  sendto(sock, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
         reinterpret_cast<const sockaddr*>(&to), sizeof to);
  close(sock);
}

std::vector<std::string> daemon_and_client_names() {
  std::vector<std::string> names{"KEL0_SDK_SOCKET_MUTEX"};
  for (unsigned pair = 0; pair < 3; ++pair) {
    for (const char* side : {"SDK", "API"}) {
      names.push_back("KEL0_" + std::string(side) + "_QMRR" + std::to_string(pair + 1) +
                      "_SOCKET_" + std::to_string(2 * pair));
      names.push_back("KEL0_" + std::string(side) + "_QMNOTIF" + std::to_string(pair + 1) +
                      "_SOCKET_" + std::to_string(2 * pair + 1));
    }
  }
  return names;
}

Footprint footprint(pid_t pid) {
  Footprint f;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) f.rss_kb = std::stol(line.substr(6));
  const std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd";
  if (DIR* dir = opendir(fd_dir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      char target[256];
      const ssize_t n = readlink((fd_dir + "/" + entry->d_name).c_str(), target, sizeof target - 1);
      f.descriptors[std::atoi(entry->d_name)] = n < 0 ? "?" : std::string(target, n);
    }
    closedir(dir);
    f.fds = static_cast<int>(f.descriptors.size());
  }
  return f;
}

std::string descriptors_changed(const Footprint& before, const Footprint& after) {
  std::string text;
  for (const auto& [fd, target] : before.descriptors)
    if (!after.descriptors.contains(fd) || after.descriptors.at(fd) != target)
      text += "closed " + std::to_string(fd) + " -> " + target + "\n";
  for (const auto& [fd, target] : after.descriptors)
    if (!before.descriptors.contains(fd) || before.descriptors.at(fd) != target)
      text += "opened " + std::to_string(fd) + " -> " + target + "\n";
  return text;
}

void report_figure(const std::string& what, double value, const char* unit) {
  std::printf("figure: %s = %.3f %s\n", what.c_str(), value, unit);
  std::fflush(stdout);
}

void report_footprints(const std::string& what, const Footprint& before, const Footprint& after) {
  report_figure(what + ": daemon RSS before", static_cast<double>(before.rss_kb), "kB");
  report_figure(what + ": daemon RSS after", static_cast<double>(after.rss_kb), "kB");
  report_figure(what + ": daemon fds before", before.fds, "");
  report_figure(what + ": daemon fds after", after.fds, "");
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace vant::faults
