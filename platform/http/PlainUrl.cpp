#include "PlainUrl.h"

#include <optional>

#include "tembrik/platform/Url.h"

namespace tembrik::platform::detail {

bool parseUrl(std::string_view url, PlainUrl& out, std::string& error) {
    out = PlainUrl{};
    const std::optional<Url> parsed = platform::parseUrl(url, &error);
    if (!parsed)
        return false;
    out.scheme = parsed->scheme;
    out.userInfo = !parsed->userinfo.empty();
    const std::string& host = parsed->host;
    out.host = host.front() == '[' ? host.substr(1, host.size() - 2) : host;
    const int defaultPort = parsed->scheme == "https" ? 443 : 80;
    out.port = parsed->port.empty() ? defaultPort : parsed->portNumber();
    out.hostHeader = host;
    if (out.port != defaultPort)
        out.hostHeader += ":" + std::to_string(out.port);
    // Servers send spaces and UTF-8 in Location headers and people paste them; the request line
    // may carry neither, so they go escaped, the way browsers send them.
    out.target = encodeUnsafeUrlBytes(parsed->path) + encodeUnsafeUrlBytes(parsed->query);
    return true;
}

std::string resolveReference(std::string_view base, std::string_view reference) {
    const std::optional<Url> resolved = resolveUrlReference(base, reference);
    return resolved ? resolved->text() : std::string(reference.substr(0, reference.find('#')));
}

} // namespace tembrik::platform::detail
