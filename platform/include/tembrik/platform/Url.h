#pragma once
// Absolute addresses and references resolved against them (RFC 3986), for what the program opens
// (http:// and https:// above all). Parsing is strict about what could change the request line
// (control bytes) and lenient about what browsers accept (spaces and non-ASCII, sent
// percent-encoded).
#include <optional>
#include <string>
#include <string_view>

namespace tembrik::platform {

struct Url {
    std::string scheme;   // lower case
    std::string userinfo; // before '@', empty when none
    std::string host;     // as written; an IPv6 literal keeps its brackets
    std::string port;     // digits as written, empty when none or empty
    std::string path;     // "/" at least when the address has an authority
    std::string query;    // with its '?', empty when none
    // The address again: scheme lower case, fragment gone, unsafe bytes percent-encoded.
    std::string text() const;
    // The port as a number: the given one, else 80 for http and 443 for https; 0 when unusable.
    int portNumber() const;
};

// An absolute address "scheme://authority/path?query#fragment". nullopt, with a reason in `error`
// when given, when it has no scheme or authority, contains control bytes, has no usable host, or
// its port is not a number from 1 to 65535 ("host:" alone is the scheme's port, as for browsers).
std::optional<Url> parseUrl(std::string_view text, std::string* error = nullptr);

// The lower-case scheme `text` starts with ("http" of "HTTP://…"), empty when none.
std::string urlScheme(std::string_view text);

// `ref` resolved against the absolute address `base` as a browser does ("x", "../x", "/x",
// "//host/x", "?q", or absolute). nullopt when neither gives an absolute address.
std::optional<Url> resolveUrlReference(std::string_view base, std::string_view ref);

// Percent-encodes spaces, control bytes and bytes from 0x80 on; everything else stays as written.
std::string encodeUnsafeUrlBytes(std::string_view text);

} // namespace tembrik::platform
