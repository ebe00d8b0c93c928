#pragma once
// Addresses as the plain transfer needs them: split for the socket and the request line, and
// redirect targets resolved against the address that answered.
#include <string>
#include <string_view>

namespace tembrik::platform::detail {

struct PlainUrl {
    std::string scheme;     // lower case
    bool userInfo = false;  // "user@" before the host
    std::string host;       // for the name look-up: an IPv6 literal without its brackets
    std::string hostHeader; // for the Host header: as written, with ":port" when it is not 80
    int port = 80;
    std::string target; // path and query for the request line, spaces and non-ASCII bytes escaped
};

// Splits `url` ("scheme://[user@]host[:port][/path][?query][#fragment]"). False, with a reason in
// `error`, for control characters, a missing or malformed host, or a port that is not 1..65535.
bool parseUrl(std::string_view url, PlainUrl& out, std::string& error);

// `reference` (a Location header: absolute, "//host/x", "/x", "x", "?q") resolved against `base`,
// without any fragment.
std::string resolveReference(std::string_view base, std::string_view reference);

} // namespace tembrik::platform::detail
