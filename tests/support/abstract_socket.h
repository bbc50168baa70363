// Probing the abstract Unix datagram names that the SDK daemon binds.
#pragma once

#include <string>

namespace vant::test {

// The name the daemon of `modem` keeps bound while it runs.
std::string presence_socket_name(unsigned modem);

// True when a datagram socket is bound to the abstract `name` (the whole
// 108-byte path field, zero-padded, is the name, as the daemon binds it).
bool abstract_name_bound(const std::string& name);

}  // namespace vant::test
