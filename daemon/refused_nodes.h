// Nodes whose modem turned out unusable only once the link was open: an
// MBIM modem that does not offer QMI. The transport that found out notes the
// node here, and the link source leaves it alone for a while rather than
// open it, and be refused, every second.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vant::daemon {

inline constexpr std::chrono::seconds kRefusedNodeRest{30};

void note_refused_node(const std::string& node, const std::string& why);
// Why the node was refused, while that is less than kRefusedNodeRest ago.
std::optional<std::string> refused_node(const std::string& node);

}  // namespace vant::daemon
