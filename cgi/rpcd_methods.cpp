#include "cgi/rpcd_methods.h"

namespace vant::cgi {
namespace {

// 32 is an integer and "str" a string in rpcd's signatures.
constexpr Method kMethods[] = {
    {"cells", MethodKind::relay, Endpoint::cells, ""},
    {"signal", MethodKind::relay, Endpoint::signal, ""},
    {"lock", MethodKind::relay, Endpoint::lock, ""},
    {"bands", MethodKind::relay, Endpoint::bands, ""},
    {"pending", MethodKind::relay, Endpoint::pending, ""},
    {"device", MethodKind::relay, Endpoint::device, ""},
    {"operators", MethodKind::scan_state, Endpoint::operators, ""},
    {"scan", MethodKind::start_scan, Endpoint::operators, ""},
    {"set_lock", MethodKind::relay, Endpoint::set_lock,
     R"("kind":"str","uarfcn":32,"earfcn0":32,"earfcn1":32,"earfcn":32,"pci":32,)"
     R"("revert_after":32)"},
    {"set_bands", MethodKind::relay, Endpoint::set_bands,
     R"("action":"str","lte":"str","nr":"str","nr_sa":"str","nr_nsa":"str","revert_after":32)"},
    {"best_cell", MethodKind::relay, Endpoint::best_cell, R"("min_rsrp":32,"revert_after":32)"},
    {"confirm", MethodKind::relay, Endpoint::confirm, ""},
    {"revert", MethodKind::relay, Endpoint::revert, ""},
};

bool is_session(const std::string& text) {
  return !text.empty() && text.size() <= 64 &&
         text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

std::string list_document() {
  std::string out = "{";
  for (const Method& m : kMethods) {
    if (out.size() > 1) out += ",";
    out += json_string(m.name) + ":{\"modem\":32";
    if (!m.arguments.empty()) out += "," + std::string(m.arguments);
    out += "}";
  }
  return out + "}";
}

const Method* find_method(std::string_view name) {
  for (const Method& m : kMethods)
    if (m.name == name) return &m;
  return nullptr;
}

std::optional<Answer> plan_call(const Method& method, std::map<std::string, std::string> arguments,
                                unsigned& modem, Plan& planned) {
  if (const auto session = arguments.find("ubus_rpc_session"); session != arguments.end()) {
    if (!is_session(session->second)) return refusal(400, "ubus_rpc_session is malformed");
    arguments.erase(session);
  }
  modem = 0;
  if (const auto given = arguments.find("modem"); given != arguments.end()) {
    const std::string& text = given->second;
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoul(text) > 11)
      return refusal(400, "modem must be a number from 0 to 11");
    modem = static_cast<unsigned>(std::stoul(text));
    arguments.erase(given);
  }
  return plan(method.endpoint, arguments, planned);
}

}  // namespace vant::cgi
