// vant-cgi: the web page's API (docs/web.md). Reads one CGI request, refuses
// what is not one of the documented requests, and runs vant for the rest,
// relaying its JSON document with its exit status as the HTTP status.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "cgi/api.h"
#include "cgi/environment.h"
#include "cgi/relay.h"
#include "cgi/token.h"

namespace vant::cgi {
namespace {

constexpr size_t kBodyLimit = 1024;
constexpr size_t kVariableLimit = 4096;
constexpr int kBodyWaitMs = 5000;
constexpr int kSlotWaitMs = 20000;

// Where vant, the daemon and the secret are. Taken from the environment only
// when the program runs with its caller's own rights: installed set-group-id,
// its environment is anybody's.
struct Settings {
  std::string vant = VANT_CGI_VANT;
  std::string sdk = VANT_CGI_SDK;
  std::string secret = VANT_CGI_SECRET;
  unsigned modem = 0;
  // Serve only users the web server authenticated: for servers (uhttpd)
  // whose configuration does not ask for one by itself.
  bool require_user = VANT_CGI_REQUIRE_USER;
};

bool load_settings(Settings& s) {
  // AT_SECURE: the kernel ran us set-id (checked before we change our ids).
  if (getauxval(AT_SECURE) != 0) return true;
  if (!override_path("VANT_CGI_VANT", s.vant) || !override_path("VANT_CGI_SDK", s.sdk) ||
      !override_path("VANT_CGI_SECRET", s.secret))
    return false;
  if (const char* modem = std::getenv("VANT_CGI_MODEM")) {
    const size_t digits = std::strspn(modem, "0123456789");
    if (digits == 0 || digits > 2 || modem[digits] != '\0') return false;
    s.modem = static_cast<unsigned>(std::atoi(modem));
    if (s.modem > 11) return false;
  }
  if (const char* required = std::getenv("VANT_CGI_REQUIRE_USER")) {
    if (std::strcmp(required, "0") != 0 && std::strcmp(required, "1") != 0) return false;
    s.require_user = required[0] == '1';
  }
  return true;
}

const char* reason_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 409:
      return "Conflict";
    case 411:
      return "Length Required";
    case 413:
      return "Content Too Large";
    case 415:
      return "Unsupported Media Type";
    case 422:
      return "Unprocessable Content";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Internal Server Error";
  }
}

int answer(const Answer& a) {
  std::printf(
      "Status: %d %s\r\nContent-Type: application/json\r\nCache-Control: no-store\r\n"
      "X-Content-Type-Options: nosniff\r\n",
      a.status, reason_phrase(a.status));
  if (!a.allow.empty()) std::printf("Allow: %s\r\n", a.allow.c_str());
  std::printf("\r\n%s\n", a.body.c_str());
  std::fflush(stdout);
  return 0;
}

// A CGI variable; false when it is longer than any honest one.
bool variable(const char* name, std::string& value) {
  const char* given = std::getenv(name);
  value = given ? given : "";
  return value.size() <= kVariableLimit;
}

long long now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

bool read_request(Request& r) {
  return variable("REQUEST_METHOD", r.method) && variable("PATH_INFO", r.path) &&
         variable("QUERY_STRING", r.query) && variable("HTTP_HOST", r.host) &&
         variable("HTTP_ORIGIN", r.origin) && variable("HTTP_REFERER", r.referer) &&
         variable("HTTP_SEC_FETCH_SITE", r.fetch_site) && variable("HTTP_X_VANT_TOKEN", r.token) &&
         variable("CONTENT_TYPE", r.content_type);
}

// The per-install secret: a file of 16 to 4096 bytes that not everybody can read.
bool read_secret(const std::string& path, std::string& secret) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  char buffer[4097];
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IROTH) == 0)
    n = read(fd, buffer, sizeof buffer);
  close(fd);
  if (n < 0 || n > 4096) return false;
  secret.assign(buffer, static_cast<size_t>(n));
  while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
  return secret.size() >= 16;
}

std::optional<Answer> read_body(Request& r) {
  std::string length_text;
  if (!variable("CONTENT_LENGTH", length_text)) return refusal(400, "bad Content-Length");
  if (r.method == "GET") {
    if (!length_text.empty() && length_text != "0") return refusal(400, "a GET has no body");
    return std::nullopt;
  }
  if (length_text.empty()) return refusal(411, "a POST needs a Content-Length");
  if (length_text.size() > 9 || length_text.find_first_not_of("0123456789") != std::string::npos)
    return refusal(400, "bad Content-Length");
  const size_t length = std::strtoul(length_text.c_str(), nullptr, 10);
  if (length > kBodyLimit)
    return refusal(413, "the body is larger than " + std::to_string(kBodyLimit) + " bytes");
  if (length > 0) {
    std::string type = r.content_type.substr(0, r.content_type.find(';'));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (type != "application/x-www-form-urlencoded")
      return refusal(415, "the body must be application/x-www-form-urlencoded");
  }
  r.body.clear();
  const long long deadline = now_ms() + kBodyWaitMs;
  while (r.body.size() < length) {
    pollfd in{0, POLLIN, 0};
    char buffer[kBodyLimit];
    const long long left = deadline - now_ms();
    if (left <= 0 || poll(&in, 1, static_cast<int>(left)) <= 0)
      return refusal(400, "the body did not arrive");
    const ssize_t n = read(0, buffer, length - r.body.size());
    if (n <= 0) return refusal(400, "the body is shorter than its Content-Length");
    r.body.append(buffer, static_cast<size_t>(n));
  }
  return std::nullopt;
}

Answer serve(const Settings& settings, Request& r) {
  const char* user = std::getenv("REMOTE_USER");
  if (settings.require_user && (user == nullptr || user[0] == '\0'))
    return refusal(403,
                   "the web server authenticated no user, and this API serves only such users");
  Answer refused;
  const auto endpoint = route(r.method, r.path, refused);
  if (!endpoint) return refused;
  if (!r.query.empty()) return refusal(400, "no query is taken: a change's fields go in the body");
  std::string secret;
  const bool have_secret = read_secret(settings.secret, secret);
  const std::string token = csrf_token(secret, user && std::strlen(user) < 256 ? user : "");
  if (is_change(*endpoint) || *endpoint == Endpoint::token) {
    if (!have_secret) return refusal(503, "the web API is not set up: no usable secret file");
    const std::string site = r.fetch_site;
    if (site == "cross-site" || site == "same-site")
      return refusal(403, "refused for a request from another site");
  }
  if (is_change(*endpoint)) {
    if (auto bad = check_origin(r)) return *bad;
  }
  if (auto bad = read_body(r)) return *bad;
  std::map<std::string, std::string> fields;
  std::string problem;
  if (!parse_form(r.body, fields, problem)) return refusal(400, problem);
  if (is_change(*endpoint)) {
    if (const auto given = fields.find("token"); given != fields.end()) {
      r.form_token = given->second;
      fields.erase(given);
    }
    if (auto bad = check_token(r, token)) return *bad;
  }
  Plan planned;
  if (auto bad = plan(*endpoint, fields, planned)) return *bad;
  if (*endpoint == Endpoint::token) return {200, "{\"token\":\"" + token + "\"}", ""};

  const Target target{settings.vant, settings.sdk, settings.modem};
  return carry_out(target, planned, kSlotWaitMs);
}

}  // namespace
}  // namespace vant::cgi

int main() {
  using namespace vant::cgi;
  signal(SIGPIPE, SIG_IGN);
  // Installed set-group-id, the group becomes the real one too: the daemon
  // reads a sender's real group from the kernel's credentials.
  const gid_t granted = getegid();
  if (granted != getgid() && setresgid(granted, granted, granted) != 0)
    return answer(refusal(500, "cannot take on the granted group"));
  Settings settings;
  if (!load_settings(settings)) return answer(refusal(500, "bad VANT_CGI_* settings"));
  Request request;
  if (!read_request(request)) return answer(refusal(400, "a request header is too long"));
  try {
    return answer(serve(settings, request));
  } catch (const std::exception&) {
    return answer(refusal(500, "internal error"));
  }
}
