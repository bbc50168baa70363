// vant-rpcd: the modem for LuCI, as an rpcd exec plugin (docs/openwrt.md).
// rpcd runs `PLUGIN list` for the methods and their arguments, and
// `PLUGIN call METHOD` with the call's arguments as JSON on standard input;
// every call is answered with one JSON object on standard output, errors
// too. The answers are the web API's bodies (docs/web.md).
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi/environment.h"
#include "cgi/json_arguments.h"
#include "cgi/relay.h"
#include "cgi/rpcd_methods.h"
#include "cgi/scan_job.h"

namespace vant::cgi {
namespace {

constexpr size_t kInputLimit = 4096;
constexpr int kInputWaitMs = 5000;
// Shorter than the CGI's wait: a call through LuCI must also end within the
// time limits of rpcd, uhttpd's ubus bridge and LuCI itself.
constexpr int kSlotWaitMs = 10000;

// Built in; the environment may name others unless the program runs set-id.
struct Settings {
  std::string vant = VANT_RPCD_VANT;
  std::string sdk = VANT_RPCD_SDK;
  std::string state_dir = VANT_RPCD_STATE;
};

long long now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// Standard input up to its end, at most kInputLimit bytes within kInputWaitMs.
std::optional<std::string> read_input(std::string& problem) {
  std::string text;
  const long long deadline = now_ms() + kInputWaitMs;
  for (;;) {
    pollfd in{0, POLLIN, 0};
    const long long left = deadline - now_ms();
    const int ready = left > 0 ? poll(&in, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      problem = "the arguments did not arrive";
      return std::nullopt;
    }
    char buffer[kInputLimit + 1];
    const ssize_t n = read(0, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      problem = "the arguments could not be read";
      return std::nullopt;
    }
    if (n == 0) return text;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > kInputLimit) {
      problem = "the arguments are larger than " + std::to_string(kInputLimit) + " bytes";
      return std::nullopt;
    }
  }
}

Answer call(const Settings& settings, std::string_view name) {
  const Method* method = find_method(name);
  if (method == nullptr) return refusal(404, "no such method");
  std::string problem;
  const auto input = read_input(problem);
  if (!input) return refusal(400, problem);
  std::map<std::string, std::string> arguments;
  if (!parse_json_arguments(*input, arguments, problem)) return refusal(400, problem);
  Target target{settings.vant, settings.sdk, 0};
  Plan planned;
  if (auto refused = plan_call(*method, arguments, target.modem, planned)) return *refused;
  switch (method->kind) {
    case MethodKind::start_scan:
      return start_scan(target, settings.state_dir);
    case MethodKind::scan_state:
      return scan_state(target, settings.state_dir);
    case MethodKind::relay:
      break;
  }
  return carry_out(target, planned, kSlotWaitMs);
}

int print(const std::string& document, int status) {
  std::printf("%s\n", document.c_str());
  std::fflush(stdout);
  return status;
}

}  // namespace
}  // namespace vant::cgi

int main(int argc, char** argv) {
  using namespace vant::cgi;
  signal(SIGPIPE, SIG_IGN);
  Settings settings;
  if (!override_path("VANT_RPCD_VANT", settings.vant) ||
      !override_path("VANT_RPCD_SDK", settings.sdk) ||
      !override_path("VANT_RPCD_STATE", settings.state_dir))
    return print(refusal(500, "bad VANT_RPCD_* settings").body, 1);
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) return print(list_document(), 0);
  if (argc == 3 && std::strcmp(argv[1], "call") == 0) {
    try {
      return print(call(settings, argv[2]).body, 0);
    } catch (const std::exception&) {
      return print(refusal(500, "internal error").body, 0);
    }
  }
  return print(refusal(400, "usage: vant-rpcd list | vant-rpcd call METHOD").body, 2);
}
