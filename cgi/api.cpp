#include "cgi/api.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>

#include "cgi/token.h"

namespace vant::cgi {
namespace {

struct Route {
  std::string_view path;
  Endpoint get, post;
  bool has_get, has_post;
};

constexpr Route kRoutes[] = {
    {"/token", Endpoint::token, {}, true, false},
    {"/cells", Endpoint::cells, {}, true, false},
    {"/signal", Endpoint::signal, {}, true, false},
    {"/lock", Endpoint::lock, Endpoint::set_lock, true, true},
    {"/bands", Endpoint::bands, Endpoint::set_bands, true, true},
    {"/pending", Endpoint::pending, {}, true, false},
    {"/device", Endpoint::device, {}, true, false},
    {"/operators", Endpoint::operators, {}, true, false},
    {"/best-cell", {}, Endpoint::best_cell, false, true},
    {"/confirm", {}, Endpoint::confirm, false, true},
    {"/revert", {}, Endpoint::revert, false, true},
};

// The host and port of an absolute URL ("http://router:8080/x" gives
// "router:8080"), lower-cased; empty when it is none.
std::string authority_of(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "";
  const std::string_view rest = url.substr(scheme + 3);
  std::string authority(rest.substr(0, rest.find_first_of("/?#")));
  for (char& c : authority) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return authority;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decode(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size()) return false;
      const int high = hex_digit(text[i + 1]), low = hex_digit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return true;
}

// A whole number in [low, high], written plainly (digits, a leading minus).
bool number_in(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 7 || text[0] == '+') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// "1,3,7-8" with every band in [1, highest] and each range rising.
bool band_list(const std::string& text, long highest) {
  if (text.empty() || text.size() > 512) return false;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    const size_t dash = item.find('-');
    long first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!number_in(item, 1, highest, first)) return false;
    } else if (!number_in(item.substr(0, dash), 1, highest, first) ||
               !number_in(item.substr(dash + 1), 1, highest, last) || last < first) {
      return false;
    }
    at = comma + 1;
  }
  return text.back() != ',';
}

class Fields {
 public:
  explicit Fields(const std::map<std::string, std::string>& fields) : fields_(fields) {}
  const std::string* get(const std::string& name) {
    known_.insert(name);
    const auto found = fields_.find(name);
    return found == fields_.end() ? nullptr : &found->second;
  }
  // The first field that no check asked for.
  std::optional<std::string> unknown() const {
    for (const auto& [name, value] : fields_)
      if (!known_.count(name)) return name;
    return std::nullopt;
  }

 private:
  const std::map<std::string, std::string>& fields_;
  std::set<std::string> known_;
};

Answer bad(const std::string& message) {
  return refusal(400, message);
}

// revert_after: whole seconds, 10 s to 1 h. A change over the web is always
// held: the admin may stand on the very link it cuts.
std::optional<Answer> revert_after(Fields& fields, Plan& planned) {
  const std::string* text = fields.get("revert_after");
  long seconds = 0;
  if (text == nullptr) return bad("revert_after is required: a change over the web is held");
  if (!number_in(*text, 10, 3600, seconds))
    return bad("revert_after must be whole seconds from 10 to 3600");
  planned.revert_after = std::to_string(seconds) + "s";
  return std::nullopt;
}

std::optional<Answer> plan_lock(Fields& fields, Plan& planned) {
  const std::string* kind = fields.get("kind");
  if (kind == nullptr) return bad("kind is required: wcdma, lte-earfcn, lte-pci or clear");
  struct Number {
    const char* name;
    long highest;
  };
  std::vector<Number> numbers;
  if (*kind == "wcdma") {
    numbers = {{"uarfcn", 16383}};
  } else if (*kind == "lte-earfcn") {
    numbers = {{"earfcn0", 262143}, {"earfcn1", 262143}};
  } else if (*kind == "lte-pci") {
    numbers = {{"earfcn", 262143}, {"pci", 503}};
  } else if (*kind != "clear") {
    return bad("kind must be wcdma, lte-earfcn, lte-pci or clear");
  }
  planned.arguments = {"lock"};
  if (*kind == "clear") {
    planned.arguments.push_back("clear");
  } else {
    planned.arguments.insert(planned.arguments.end(), {"set", *kind});
  }
  for (const Number& n : numbers) {
    const std::string* text = fields.get(n.name);
    long value = 0;
    if (text == nullptr || !number_in(*text, 0, n.highest, value))
      return bad(std::string(n.name) + " must be a number from 0 to " + std::to_string(n.highest));
    planned.arguments.push_back(std::to_string(value));
  }
  if (auto refused = revert_after(fields, planned)) return refused;
  planned.arguments.insert(planned.arguments.end(),
                           {"--revert-after", planned.revert_after, "--json"});
  return std::nullopt;
}

std::optional<Answer> plan_bands(Fields& fields, Plan& planned) {
  const std::string* action = fields.get("action");
  if (action == nullptr || (*action != "set" && *action != "reset"))
    return bad("action must be set or reset");
  planned.arguments = {"bands", *action};
  if (*action == "set") {
    struct Kind {
      const char* field;
      const char* option;
      long highest;
    };
    bool any = false;
    for (const Kind& kind : {Kind{"lte", "--lte", 256}, Kind{"nr", "--nr", 512},
                             Kind{"nr_sa", "--nr-sa", 512}, Kind{"nr_nsa", "--nr-nsa", 512}}) {
      const std::string* list = fields.get(kind.field);
      if (list == nullptr) continue;
      if (!band_list(*list, kind.highest))
        return bad(std::string(kind.field) + " must be a band list such as 1,3,7-8 (1 to " +
                   std::to_string(kind.highest) + ")");
      planned.arguments.insert(planned.arguments.end(), {kind.option, *list});
      any = true;
    }
    if (!any) return bad("set needs lte, nr, nr_sa or nr_nsa");
    if (fields.get("nr") && (fields.get("nr_sa") || fields.get("nr_nsa")))
      return bad("nr excludes nr_sa and nr_nsa");
  }
  if (auto refused = revert_after(fields, planned)) return refused;
  planned.arguments.insert(planned.arguments.end(),
                           {"--revert-after", planned.revert_after, "--json"});
  return std::nullopt;
}

std::optional<Answer> plan_best_cell(Fields& fields, Plan& planned) {
  planned.arguments = {"best-cell", "--dry-run"};
  if (const std::string* text = fields.get("min_rsrp")) {
    long dbm = 0;
    if (!number_in(*text, -140, -44, dbm))
      return bad("min_rsrp must be whole dBm from -140 to -44");
    planned.arguments.insert(planned.arguments.end(), {"--min-rsrp", std::to_string(dbm)});
  }
  planned.arguments.push_back("--json");
  planned.best_cell = true;
  return revert_after(fields, planned);
}

// The integer after "key": inside text, or nothing.
std::optional<long> integer_after(std::string_view text, std::string_view key) {
  const size_t at = text.find("\"" + std::string(key) + "\"");
  if (at == std::string_view::npos) return std::nullopt;
  size_t i = at + key.size() + 2;
  while (i < text.size() && std::strchr(" \n\r\t:", text[i]) != nullptr) ++i;
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

Answer refusal(int status, std::string_view message) {
  return {status, "{\"error\":" + json_string(message) + "}", ""};
}

std::optional<Endpoint> route(std::string_view method, std::string_view path, Answer& refused) {
  for (const Route& r : kRoutes) {
    if (r.path != path) continue;
    if (method == "GET" && r.has_get) return r.get;
    if (method == "POST" && r.has_post) return r.post;
    refused = refusal(405, "method not allowed here");
    refused.allow = r.has_get && r.has_post ? "GET, POST" : r.has_get ? "GET" : "POST";
    return std::nullopt;
  }
  refused = refusal(404, "no such resource");
  return std::nullopt;
}

bool is_change(Endpoint endpoint) {
  return endpoint >= Endpoint::set_lock;
}

std::optional<Answer> check_origin(const Request& request) {
  const std::string host = lower(request.host);
  if (host.empty() || host.size() > 255 ||
      host.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-:[]") != std::string::npos)
    return refusal(400, "no usable Host header");
  const std::string site = lower(request.fetch_site);
  if (!site.empty() && site != "same-origin")
    return refusal(403, "a change must come from the page itself (Sec-Fetch-Site: " + site + ")");
  const std::string& from = request.origin.empty() ? request.referer : request.origin;
  if (from.empty()) return refusal(403, "a change needs an Origin or Referer header");
  if (authority_of(from) != host)
    return refusal(403, "a change must come from a page of " + host + ", not " + from);
  return std::nullopt;
}

std::optional<Answer> check_token(const Request& request, std::string_view token) {
  if (request.token.empty() && request.form_token.empty())
    return refusal(403, "a change needs the X-Vant-Token header or the token field");
  if (!request.token.empty() && !same_secret(request.token, token))
    return refusal(403, "wrong X-Vant-Token");
  if (!request.form_token.empty() && !same_secret(request.form_token, token))
    return refusal(403, "wrong token field");
  return std::nullopt;
}

bool parse_form(std::string_view text, std::map<std::string, std::string>& fields,
                std::string& problem) {
  fields.clear();
  size_t at = 0;
  while (at < text.size()) {
    const size_t amp = std::min(text.find('&', at), text.size());
    const std::string_view pair = text.substr(at, amp - at);
    at = amp + 1;
    if (pair.empty()) continue;
    const size_t equals = pair.find('=');
    std::string name, value;
    if (equals == std::string_view::npos || !decode(pair.substr(0, equals), name) ||
        !decode(pair.substr(equals + 1), value) || name.empty()) {
      problem = "the form is malformed";
      return false;
    }
    if (fields.size() >= 8 || !fields.emplace(name, value).second) {
      problem = fields.size() >= 8 ? "too many fields" : "field " + name + " is given twice";
      return false;
    }
  }
  return true;
}

std::optional<Answer> plan(Endpoint endpoint, const std::map<std::string, std::string>& given,
                           Plan& planned) {
  Fields fields(given);
  std::optional<Answer> refused;
  planned = {};
  switch (endpoint) {
    case Endpoint::token:
      break;
    case Endpoint::cells:
      planned.arguments = {"cells", "--json"};
      break;
    case Endpoint::signal:
      planned.arguments = {"signal", "--json"};
      break;
    case Endpoint::lock:
      planned.arguments = {"lock", "show", "--json"};
      break;
    case Endpoint::bands:
      planned.arguments = {"bands", "show", "--json"};
      break;
    case Endpoint::pending:
      planned.arguments = {"pending", "--json"};
      break;
    case Endpoint::device:
      planned.arguments = {"device", "--json"};
      break;
    case Endpoint::operators:
      planned.arguments = {"operators", "--json"};
      planned.timeout_s = 330;  // the scan takes up to five minutes
      planned.scan = true;
      break;
    case Endpoint::set_lock:
      refused = plan_lock(fields, planned);
      break;
    case Endpoint::set_bands:
      refused = plan_bands(fields, planned);
      break;
    case Endpoint::best_cell:
      refused = plan_best_cell(fields, planned);
      break;
    case Endpoint::confirm:
      planned.arguments = {"confirm", "--json"};
      break;
    case Endpoint::revert:
      planned.arguments = {"revert", "--json"};
      break;
  }
  if (refused) return refused;
  if (const auto name = fields.unknown()) return bad("unknown field " + *name);
  return std::nullopt;
}

std::vector<std::string> chosen_cell_lock(std::string_view document,
                                          const std::string& revert_after) {
  // The dry run ranks the candidates; the first is the one a real run locks to.
  const size_t list = document.find("\"candidates\"");
  if (list == std::string_view::npos) return {};
  const size_t open = document.find_first_not_of(" \n\r\t:", list + 12);
  if (open == std::string_view::npos || document[open] != '[') return {};
  const size_t first = document.find_first_not_of(" \n\r\t", open + 1);
  if (first == std::string_view::npos || document[first] != '{') return {};  // none
  const std::string_view object = document.substr(first, document.find('}', first) - first);
  const auto earfcn = integer_after(object, "earfcn");
  const auto pci = integer_after(object, "pci");
  if (!earfcn || !pci || *earfcn < 0 || *earfcn > 262143 || *pci < 0 || *pci > 503) return {};
  return {"lock",           "set",        "lte-pci", std::to_string(*earfcn), std::to_string(*pci),
          "--revert-after", revert_after, "--json"};
}

int http_status_for_exit(int exit_status) {
  switch (exit_status) {
    case 0:
      return 200;
    case 1:
      return 502;  // the modem refused or answered something unusable
    case 2:
      return 422;  // vant refused what was asked (a band the modem lacks, ...)
    case 3:
      return 503;  // no daemon or modem
    case 4:
      return 409;  // no new lock kept
    default:
      return 500;
  }
}

}  // namespace vant::cgi
