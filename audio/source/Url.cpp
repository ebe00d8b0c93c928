#include "source/Url.h"

#include <cctype>

#include "tembrik/platform/Url.h"

namespace tembrik::audio::source {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool isHttpUrl(std::string_view url) {
    url = trim(url);
    std::string_view rest;
    if (startsWithNoCase(url, "http://")) {
        rest = url.substr(7);
    } else if (startsWithNoCase(url, "https://")) {
        rest = url.substr(8);
    } else {
        return false;
    }
    return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
}

std::optional<std::string> resolveUrl(std::string_view base, std::string_view ref) {
    ref = trim(ref);
    if (ref.empty())
        return std::nullopt;
    // Local file paths of Windows playlists: "C:\music\a.mp3", "C:/x", "\\server\share".
    if (ref.size() >= 2 && std::isalpha(static_cast<unsigned char>(ref[0])) && ref[1] == ':' &&
        (ref.size() == 2 || ref[2] == '\\' || ref[2] == '/')) {
        return std::nullopt;
    }
    if (ref.substr(0, 2) == "\\\\" || startsWithNoCase(ref, "file:"))
        return std::nullopt;
    std::string r(ref);
    if (startsWithNoCase(r, "mmsh://")) {
        r = "http://" + r.substr(7);
    } else if (startsWithNoCase(r, "mms://")) {
        r = "http://" + r.substr(6);
    }
    const auto resolved = platform::resolveUrlReference(trim(base), r);
    if (!resolved)
        return std::nullopt;
    std::string out = resolved->text();
    if (!isHttpUrl(out))
        return std::nullopt;
    return out;
}

} // namespace tembrik::audio::source
