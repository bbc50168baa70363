// vantsdk --list: the modem control nodes found, one a line.
#pragma once

#include <string>

namespace vant::daemon {

// A table with a header line: node, transport, driver, device, the modem
// index that serves it (by the index rule; "-" for a node no index drives)
// and the processes that have it open; or a line saying that nothing was
// found.
std::string modem_list_text(const std::string& sysfs_root, const std::string& dev_root);

}  // namespace vant::daemon
