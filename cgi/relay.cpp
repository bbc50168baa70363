#include "cgi/relay.h"

#include <cstring>

namespace vant::cgi {
namespace {

std::string trimmed(std::string text) {
  while (!text.empty() && std::strchr(" \n\r\t", text.back())) text.pop_back();
  size_t start = text.find_first_not_of(" \n\r\t");
  return start == std::string::npos ? "" : text.substr(start);
}

bool is_document(const std::string& text) {
  return text.size() >= 2 && text.front() == '{' && text.back() == '}';
}

}  // namespace

std::vector<std::string> vant_argv(const Target& target,
                                   const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"vant", "-d", std::to_string(target.modem), "-s", target.sdk};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

Answer relay(const RunResult& run, int timeout_s, const std::string& extra) {
  if (!run.started) return refusal(500, "vant could not be run");
  if (run.timed_out)
    return refusal(504, "vant did not finish within " + std::to_string(timeout_s) + " s");
  const std::string out = trimmed(run.out);
  const int status = http_status_for_exit(run.exit_status);
  if (run.exit_status == 0) {
    if (!is_document(out)) return refusal(502, "vant printed no JSON document");
    if (extra.empty()) return {200, out, ""};
    return {200, "{" + extra + ",\"lock\":" + out + "}", ""};
  }
  std::string message = trimmed(run.err);
  if (message.rfind("vant: ", 0) == 0) message.erase(0, 6);
  if (message.empty()) message = "vant ended with status " + std::to_string(run.exit_status);
  std::string body = "{\"error\":" + json_string(message) +
                     ",\"exit_status\":" + std::to_string(run.exit_status) +
                     ",\"document\":" + (is_document(out) ? out : "null");
  if (!extra.empty()) body += "," + extra;
  return {status, body + "}", ""};
}

Answer run_plan(const Target& target, const Plan& planned) {
  const RunResult first =
      run_program(target.vant, vant_argv(target, planned.arguments), planned.timeout_s);
  if (!planned.best_cell || first.exit_status != 0 || first.timed_out)
    return relay(first, planned.timeout_s);
  const std::string ranking = trimmed(first.out);
  if (!is_document(ranking)) return refusal(502, "vant printed no JSON document");
  const auto lock = chosen_cell_lock(ranking, planned.revert_after);
  if (lock.empty())
    return {409, "{\"error\":\"no cell to lock to\",\"best_cell\":" + ranking + "}", ""};
  const RunResult locked = run_program(target.vant, vant_argv(target, lock), planned.timeout_s);
  return relay(locked, planned.timeout_s, "\"best_cell\":" + ranking);
}

Answer carry_out(const Target& target, const Plan& planned, int wait_ms) {
  Slot slot;
  if (planned.scan ? !slot.take(target.modem, "scan", 0)
                   : !slot.take(target.modem, "command", wait_ms))
    return planned.scan ? refusal(409, "an operator scan is already running")
                        : refusal(503, "busy: other requests hold the modem");
  return run_plan(target, planned);
}

}  // namespace vant::cgi
