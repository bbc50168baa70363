#include "cgi/scan_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>

#include "cgi/run.h"

namespace vant::cgi {
namespace {

// vant's scan answer is bounded by run.h's output limit; the rest is ours.
constexpr size_t kStateLimit = (1 << 20) + 4096;

long long now_s() {
  return static_cast<long long>(std::time(nullptr));
}

// The folder, made when missing: ours, and writable by nobody else.
bool usable_folder(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string state_path(const std::string& dir, unsigned modem) {
  return dir + "/scan.modem" + std::to_string(modem) + ".json";
}

bool write_all(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Written beside, then renamed over: a reader sees the old or the new whole.
bool write_state(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = write_all(fd, text);
  if (close(fd) != 0 || !written) {
    unlink(temporary.c_str());
    return false;
  }
  return rename(temporary.c_str(), path.c_str()) == 0;
}

// The file's text; empty when there is none, or it is not what we write.
std::string read_state(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return "";
  std::string text;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buffer[8192];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
      if (text.size() > kStateLimit) break;
    }
  }
  close(fd);
  if (text.size() > kStateLimit || text.size() < 2 || text.front() != '{' || text.back() != '}')
    return "";
  return text;
}

std::string running_state(long long started) {
  return "{\"state\":\"running\",\"started\":" + std::to_string(started) + "}";
}

// The "started" of a running state file, which this file wrote itself.
std::optional<long long> started_of(const std::string& text) {
  const std::string prefix = "{\"state\":\"running\",\"started\":";
  if (text.rfind(prefix, 0) != 0) return std::nullopt;
  long long started = 0;
  const char* first = text.data() + prefix.size();
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), started);
  if (ec != std::errc() || end != text.data() + text.size() - 1) return std::nullopt;
  return started;
}

// The scan's own process: detached from rpcd (its own session, standard
// streams on /dev/null, so that rpcd's call ends now), it keeps the slot's
// socket, runs the scan and writes its answer.
[[noreturn]] void run_detached(const Target& target, const std::string& path, long long started,
                               int slot_fd) {
  setsid();
  if (fork() != 0) _exit(0);
  const int null = open("/dev/null", O_RDWR);
  if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(1);
  for (int fd = 3; fd < 1024; ++fd)
    if (fd != slot_fd) close(fd);
  Plan planned;
  if (plan(Endpoint::operators, {}, planned)) _exit(1);
  const Answer answer = run_plan(target, planned);
  write_state(path, "{\"state\":\"done\",\"started\":" + std::to_string(started) +
                        ",\"finished\":" + std::to_string(now_s()) + ",\"result\":" + answer.body +
                        "}");
  _exit(0);
}

}  // namespace

Answer start_scan(const Target& target, const std::string& state_dir) {
  if (!usable_folder(state_dir))
    return refusal(500, "the state folder " + state_dir + " is not usable");
  Slot slot;
  if (!slot.take(target.modem, "scan", 0))
    return refusal(409, "an operator scan is already running");
  const std::string path = state_path(state_dir, target.modem);
  const long long started = now_s();
  if (!write_state(path, running_state(started)))
    return refusal(500, "cannot write to the state folder " + state_dir);
  const pid_t child = fork();
  if (child == 0) run_detached(target, path, started, slot.descriptor());
  if (child < 0) {
    unlink(path.c_str());
    return refusal(500, "cannot start the scan");
  }
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return {200, "{\"state\":\"running\",\"started\":" + std::to_string(started) + ",\"seconds\":0}",
          ""};
}

Answer scan_state(const Target& target, const std::string& state_dir) {
  if (!usable_folder(state_dir))
    return refusal(500, "the state folder " + state_dir + " is not usable");
  const std::string path = state_path(state_dir, target.modem);
  std::string text = read_state(path);
  if (text.empty()) return {200, "{\"state\":\"none\"}", ""};
  auto started = started_of(text);
  if (!started) return {200, text, ""};
  Slot probe;
  if (!probe.take(target.modem, "scan", 0)) {
    const long long seconds = now_s() - *started;
    return {200,
            "{\"state\":\"running\",\"started\":" + std::to_string(*started) +
                ",\"seconds\":" + std::to_string(seconds < 0 ? 0 : seconds) + "}",
            ""};
  }
  // The slot is free: the scan has ended, and has written its answer unless it died.
  text = read_state(path);
  if (!text.empty() && !started_of(text)) return {200, text, ""};
  return {200,
          "{\"state\":\"failed\",\"started\":" + std::to_string(*started) +
              ",\"result\":{\"error\":\"the scan ended without an answer\"}}",
          ""};
}

}  // namespace vant::cgi
