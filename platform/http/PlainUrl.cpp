#include "PlainUrl.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tembrik::platform::detail {
namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

// Length of the scheme (without ':'), 0 when `s` does not start with one.
std::size_t schemeLength(std::string_view s) {
    if (s.empty() || !isAlpha(s[0]))
        return 0;
    std::size_t i = 1;
    while (i < s.size() && (isAlpha(s[i]) || isDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.'))
        ++i;
    return i < s.size() && s[i] == ':' ? i : 0;
}

std::string_view withoutFragment(std::string_view s) {
    return s.substr(0, s.find('#'));
}

// Servers send spaces and UTF-8 in Location headers and people paste them; the request line may
// carry neither, so they go escaped, the way browsers send them.
std::string escapeTarget(std::string_view raw) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        auto b = static_cast<unsigned char>(c);
        if (b == ' ' || b >= 0x80) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

bool validIpv6Literal(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
    });
}

bool validHostName(std::string_view s) {
    static constexpr std::string_view forbidden = " <>\"{}|\\^`[]%";
    return !s.empty() && std::none_of(s.begin(), s.end(),
                                      [](char c) { return forbidden.find(c) != std::string_view::npos; });
}

// RFC 3986 5.2.4: "." and ".." segments of a merged path.
std::string removeDotSegments(std::string_view path) {
    std::vector<std::string_view> out;
    bool trailingSlash = false;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = std::min(path.find('/', pos), path.size());
        std::string_view seg = path.substr(pos, end - pos);
        bool last = end == path.size();
        if (seg == "..") {
            if (!out.empty())
                out.pop_back();
            trailingSlash = last;
        } else if (seg == ".") {
            trailingSlash = last;
        } else if (!(seg.empty() && pos == 0)) {
            out.push_back(seg);
            trailingSlash = false;
        }
        pos = end + 1;
    }
    std::string result;
    for (auto seg : out) {
        result += '/';
        result += seg;
    }
    if (trailingSlash || result.empty())
        result += '/';
    return result;
}

struct Parts {
    std::string_view origin; // "scheme://authority"
    std::string_view path;
    std::string_view query; // with its '?'
};

Parts split(std::string_view url) {
    url = withoutFragment(url);
    Parts p;
    std::size_t start = schemeLength(url);
    start = start == 0 ? 0 : start + 1;
    if (url.substr(start, 2) == "//")
        start = std::min(url.find_first_of("/?", start + 2), url.size());
    p.origin = url.substr(0, start);
    std::size_t q = std::min(url.find('?', start), url.size());
    p.path = url.substr(start, q - start);
    p.query = url.substr(q);
    return p;
}

} // namespace

std::string urlScheme(std::string_view url) {
    return lower(url.substr(0, schemeLength(url)));
}

bool parseUrl(std::string_view url, PlainUrl& out, std::string& error) {
    out = PlainUrl{};
    if (std::any_of(url.begin(), url.end(), [](char c) {
            auto b = static_cast<unsigned char>(c);
            return b < 0x20 || b == 0x7f;
        })) {
        error = "the address contains control characters";
        return false;
    }
    std::size_t schemeLen = schemeLength(url);
    if (schemeLen == 0 || url.substr(schemeLen, 3) != "://") {
        error = "not an address of the form scheme://host/path";
        return false;
    }
    out.scheme = lower(url.substr(0, schemeLen));
    url = withoutFragment(url.substr(schemeLen + 3));
    std::size_t authorityEnd = std::min(url.find_first_of("/?"), url.size());
    std::string_view authority = url.substr(0, authorityEnd);
    std::string_view rest = url.substr(authorityEnd);

    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        out.userInfo = true;
        authority.remove_prefix(at + 1);
    }
    std::string_view hostPart, portPart;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !validIpv6Literal(authority.substr(1, close - 1))) {
            error = "malformed IPv6 address";
            return false;
        }
        out.host = std::string(authority.substr(1, close - 1));
        hostPart = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            error = "malformed IPv6 address";
            return false;
        }
        hasPort = !after.empty();
        portPart = hasPort ? after.substr(1) : std::string_view();
    } else {
        std::size_t colon = authority.find(':');
        hostPart = authority.substr(0, colon);
        hasPort = colon != std::string_view::npos;
        portPart = hasPort ? authority.substr(colon + 1) : std::string_view();
        if (!validHostName(hostPart)) {
            error = "no usable host name in the address";
            return false;
        }
        out.host = std::string(hostPart);
    }
    out.port = out.scheme == "https" ? 443 : 80;
    const int defaultPort = out.port;
    // "host:" is the default port, as for browsers.
    if (hasPort && !portPart.empty()) {
        if (portPart.size() > 5 || !std::all_of(portPart.begin(), portPart.end(), isDigit)) {
            error = "invalid port number";
            return false;
        }
        out.port = std::stoi(std::string(portPart));
        if (out.port < 1 || out.port > 65535) {
            error = "invalid port number";
            return false;
        }
    }
    out.hostHeader = std::string(hostPart);
    if (out.port != defaultPort)
        out.hostHeader += ":" + std::to_string(out.port);
    std::string target(rest);
    if (target.empty() || target.front() == '?')
        target.insert(0, "/");
    out.target = escapeTarget(target);
    return true;
}

std::string resolveReference(std::string_view base, std::string_view reference) {
    reference = withoutFragment(reference);
    if (schemeLength(reference) != 0)
        return std::string(reference);
    Parts b = split(base);
    if (reference.substr(0, 2) == "//") {
        std::string scheme(base.substr(0, schemeLength(base)));
        return scheme + ":" + std::string(reference);
    }
    std::string result(b.origin);
    if (reference.empty())
        return result + std::string(b.path) + std::string(b.query);
    if (reference.front() == '?')
        return result + std::string(b.path.empty() ? "/" : b.path) + std::string(reference);
    std::size_t q = std::min(reference.find('?'), reference.size());
    std::string path;
    if (reference.front() == '/') {
        path = std::string(reference.substr(0, q));
    } else {
        std::size_t slash = b.path.rfind('/');
        path =
            (slash == std::string_view::npos ? std::string("/") : std::string(b.path.substr(0, slash + 1))) +
            std::string(reference.substr(0, q));
    }
    return result + removeDotSegments(path) + std::string(reference.substr(q));
}

} // namespace tembrik::platform::detail
