// Addresses: which ones the library opens, and how a playlist entry is resolved against the
// address of the playlist that holds it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrik::audio::source {

// True for an http:// or https:// address (scheme case-insensitive) with a host.
bool isHttpUrl(std::string_view url);

// Resolves ref against base as a browser does (absolute, "//host/x", "/x", "x", "../x", "?q").
// "mms://" and "mmsh://" become "http://" (Windows Media servers answer HTTP on the same port).
// nullopt when the result is not an http(s) address or ref is a local file path ("C:\x.mp3").
std::optional<std::string> resolveUrl(std::string_view base, std::string_view ref);

} // namespace tembrik::audio::source
