// The web API of vant: which requests are answered, what each must carry,
// and the vant command line each becomes. Nothing here does input or output;
// main.cpp reads the request and runs vant.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vant::cgi {

// What the web server passed: CGI variables, the body, and what the page sent.
struct Request {
  std::string method, path, query;
  std::string host, origin, referer, fetch_site;  // Host, Origin, Referer, Sec-Fetch-Site
  std::string token, content_type;                // X-Vant-Token, Content-Type
  std::string body;
  // The form's token field: servers that hand a CGI only some headers
  // (uhttpd) drop X-Vant-Token, so the page sends the token in both.
  std::string form_token;
};

// A refusal, or any answer: an HTTP status and a JSON document.
struct Answer {
  int status = 200;
  std::string body;
  std::string allow;  // the Allow header of a 405
};
Answer refusal(int status, std::string_view message);
std::string json_string(std::string_view text);

enum class Endpoint {
  token,
  cells,
  signal,
  lock,
  bands,
  pending,
  device,
  operators,
  set_lock,
  set_bands,
  best_cell,
  confirm,
  revert
};

// The endpoint of a method and path, or the refusal (404, 405).
std::optional<Endpoint> route(std::string_view method, std::string_view path, Answer& refused);
bool is_change(Endpoint endpoint);

// A change must come from the page itself: Origin (or Referer) names the
// Host the request was sent to, and no browser calls it cross-site.
// Nothing when it passes.
std::optional<Answer> check_origin(const Request& request);
// It must carry the page's token: in X-Vant-Token, the form's token field,
// or both; each one given must match.
std::optional<Answer> check_token(const Request& request, std::string_view token);

// application/x-www-form-urlencoded, each name at most once.
bool parse_form(std::string_view text, std::map<std::string, std::string>& fields,
                std::string& problem);

// The vant runs a request becomes.
struct Plan {
  std::vector<std::string> arguments;  // after vant's global options
  int timeout_s = 30;
  bool scan = false;       // the operator scan: its own slot, no waiting
  bool best_cell = false;  // arguments rank; then lock to the first with revert_after
  std::string revert_after;
};
// Checks every field of the endpoint; the refusal (400) when one is wrong,
// missing or unknown.
std::optional<Answer> plan(Endpoint endpoint, const std::map<std::string, std::string>& fields,
                           Plan& planned);

// The lock arguments for the first cell of a best-cell dry run's ranking,
// from its JSON document: empty when it ranked none.
std::vector<std::string> chosen_cell_lock(std::string_view best_cell_document,
                                          const std::string& revert_after);

// vant's exit status as an HTTP status.
int http_status_for_exit(int exit_status);

}  // namespace vant::cgi
