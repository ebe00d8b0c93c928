#include "tembrik/platform/Url.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tembrik::platform {
namespace {

bool isSchemeChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

bool hasControlBytes(std::string_view s) {
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            return true;
    }
    return false;
}

// The scheme's length ("http" in "http:…"), 0 when `s` does not start with one.
std::size_t schemeLength(std::string_view s) {
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
        return 0;
    std::size_t i = 1;
    while (i < s.size() && isSchemeChar(s[i]))
        ++i;
    return i < s.size() && s[i] == ':' ? i : 0;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// RFC 3986 5.2.4: "." and ".." segments removed.
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string_view> out;
    const bool absolute = !path.empty() && path.front() == '/';
    std::size_t pos = absolute ? 1 : 0;
    bool trailingSlash = false;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view segment = path.substr(pos, end - pos);
        const bool last = end == path.size();
        if (segment == ".") {
            trailingSlash = last;
        } else if (segment == "..") {
            if (!out.empty())
                out.pop_back();
            trailingSlash = last;
        } else {
            out.push_back(segment);
            trailingSlash = false;
        }
        pos = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0)
            result += '/';
        result += out[i];
    }
    if (trailingSlash && !out.empty() && !result.empty() && result.back() != '/')
        result += '/';
    return result;
}

// Splits "path?query#fragment" (the fragment dropped).
void splitPathQuery(std::string_view rest, std::string& path, std::string& query) {
    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos)
        rest = rest.substr(0, hash);
    const std::size_t q = rest.find('?');
    path = std::string(rest.substr(0, q));
    query = q == std::string_view::npos ? std::string() : std::string(rest.substr(q));
}

bool isIpv6Literal(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
    });
}

bool isHostName(std::string_view s) {
    static constexpr std::string_view forbidden = " <>\"{}|\\^`[]%/?#@";
    return !s.empty() && s.find_first_of(forbidden) == std::string_view::npos;
}

// "authority" of "//authority/…" into userinfo, host and port; the reason when unusable.
const char* splitAuthority(std::string_view authority, Url& url) {
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        url.userinfo = std::string(authority.substr(0, at));
        authority = authority.substr(at + 1);
    }
    std::string_view host = authority, port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !isIpv6Literal(authority.substr(1, close - 1)))
            return "malformed IPv6 address";
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return "malformed IPv6 address";
            port = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos)
            port = authority.substr(colon + 1);
        if (!isHostName(host))
            return "no usable host name in the address";
    }
    if (!port.empty()) {
        if (port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return "invalid port number";
        const int number = std::stoi(std::string(port));
        if (number < 1 || number > 65535)
            return "invalid port number";
    }
    url.host = std::string(host);
    url.port = std::string(port);
    return nullptr;
}

} // namespace

std::string encodeUnsafeUrlBytes(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Url::text() const {
    std::string out = scheme + "://";
    if (!userinfo.empty())
        out += userinfo + "@";
    out += host;
    if (!port.empty())
        out += ":" + port;
    out += encodeUnsafeUrlBytes(path.empty() ? "/" : path);
    out += encodeUnsafeUrlBytes(query);
    return out;
}

int Url::portNumber() const {
    if (!port.empty()) {
        const int n = std::stoi(port);
        return n > 0 && n <= 65535 ? n : 0;
    }
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    return 0;
}

std::string urlScheme(std::string_view text) {
    return lower(text.substr(0, schemeLength(text)));
}

std::optional<Url> parseUrl(std::string_view text, std::string* error) {
    const auto refuse = [error](const char* why) -> std::optional<Url> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (hasControlBytes(text))
        return refuse("the address contains control characters");
    const std::size_t schemeEnd = schemeLength(text);
    if (schemeEnd == 0 || text.substr(schemeEnd, 3) != "://")
        return refuse("not an address of the form scheme://host/path");
    Url url;
    url.scheme = lower(text.substr(0, schemeEnd));
    const std::string_view rest = text.substr(schemeEnd + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    if (const char* why = splitAuthority(rest.substr(0, authorityEnd), url))
        return refuse(why);
    splitPathQuery(authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd),
                   url.path, url.query);
    url.path = removeDotSegments(url.path.empty() ? "/" : url.path);
    return url;
}

std::optional<Url> resolveUrlReference(std::string_view base, std::string_view ref) {
    if (hasControlBytes(ref))
        return std::nullopt;
    if (schemeLength(ref) > 0)
        return parseUrl(ref);
    std::optional<Url> url = parseUrl(base);
    if (!url)
        return std::nullopt;
    if (ref.substr(0, 2) == "//")
        return parseUrl(url->scheme + ":" + std::string(ref));
    std::string path, query;
    splitPathQuery(ref, path, query);
    if (path.empty()) {
        if (!query.empty())
            url->query = query;
        return url;
    }
    if (path.front() != '/') {
        const std::size_t slash = url->path.rfind('/');
        path = url->path.substr(0, slash == std::string::npos ? 0 : slash + 1) + path;
    }
    url->path = removeDotSegments(path);
    url->query = query;
    return url;
}

} // namespace tembrik::platform
