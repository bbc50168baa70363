// The rpcd plugin's methods: the web API's requests under ubus names, the
// argument signature rpcd is given (`list`), and the check of each call's
// arguments, which the web API's own checks (api.h) judge.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "cgi/api.h"

namespace vant::cgi {

enum class MethodKind {
  relay,       // a request of the web API: vant run, its answer relayed
  start_scan,  // the operator scan, started in the background
  scan_state   // how the last scan stands, and its networks
};

struct Method {
  std::string_view name;
  MethodKind kind;
  Endpoint endpoint;
  std::string_view arguments;  // the signature's members after "modem", as rpcd reads them
};

// {"cells":{"modem":32},...}: every method with its arguments' types.
std::string list_document();

const Method* find_method(std::string_view name);

// The call's modem (the argument modem, 0 to 11, default 0) and plan; the
// refusal (400) when an argument is wrong, missing or unknown. The session
// that uhttpd's ubus bridge adds (ubus_rpc_session) is taken and ignored.
std::optional<Answer> plan_call(const Method& method, std::map<std::string, std::string> arguments,
                                unsigned& modem, Plan& planned);

}  // namespace vant::cgi
