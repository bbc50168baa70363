// The CSRF token: HMAC-SHA256 of a per-install secret over the user the web
// server authenticated, so that the token of one user is no other's.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vant::cgi {

std::array<uint8_t, 32> sha256(std::string_view data);
std::array<uint8_t, 32> hmac_sha256(std::string_view key, std::string_view message);

// Hex of the HMAC over "vant-web-token:" + user.
std::string csrf_token(std::string_view secret, std::string_view user);

// Compares in time that depends on the lengths only.
bool same_secret(std::string_view a, std::string_view b);

}  // namespace vant::cgi
