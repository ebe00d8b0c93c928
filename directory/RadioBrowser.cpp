#include "directory/RadioBrowser.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

namespace tembrik::directory {

namespace {

constexpr const char* DiscoveryHost = "all.api.radio-browser.info";
// Names and tags are shown in one line of a list; a page cannot make them longer than this.
constexpr int MaxTextLength = 300;
constexpr int MaxAddressLength = 2048;

std::string Encoded(const std::string& text) {
    return QByteArray::fromStdString(text).toPercentEncoding().toStdString();
}

std::string Text(const QJsonObject& o, const char* key) {
    QString text = o.value(key).toString().simplified();
    if (text.size() > MaxTextLength)
        text = text.left(MaxTextLength);
    return text.toStdString();
}

// An address as it goes into a station file: 7-bit (the file is Windows-1251, where other
// characters would turn into "?") and whole, never cut; empty when it is not a valid one.
std::string Address(const QJsonObject& o, const char* key) {
    const QUrl url(o.value(key).toString().trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "http" && scheme != "https") || url.host().isEmpty())
        return {};
    const QByteArray encoded = url.toEncoded();
    return encoded.size() <= MaxAddressLength ? encoded.toStdString() : std::string();
}

bool Flag(const QJsonValue& v) {
    return v.isBool() ? v.toBool() : v.toInt() == 1;
}

} // namespace

std::vector<std::string> DirectoryServers() {
    const char* root = std::getenv("TEMBRIK_RADIO_DIRECTORY");
    if (root && *root) {
        std::string server = root;
        while (!server.empty() && server.back() == '/')
            server.pop_back();
        return {server};
    }
    // The documented discovery: every address behind the common name, each named by its reverse
    // lookup, so HTTPS can check the certificate against that name.
    std::set<std::string> names;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(DiscoveryHost, nullptr, &hints, &found) == 0) {
        for (addrinfo* a = found; a; a = a->ai_next) {
            char host[NI_MAXHOST] = {};
            if (::getnameinfo(a->ai_addr, a->ai_addrlen, host, sizeof host, nullptr, 0, NI_NAMEREQD) == 0)
                names.insert(std::string("https://") + host);
        }
        ::freeaddrinfo(found);
    }
    std::vector<std::string> servers(names.begin(), names.end());
    std::shuffle(servers.begin(), servers.end(), std::mt19937(std::random_device()()));
    return servers;
}

std::string DirectoryUserAgent() {
    return std::string("Tembrik/") + TEMBRIK_VERSION;
}

std::string SearchAddress(const std::string& server, const SearchQuery& query) {
    std::string address =
        server + "/json/stations/search?order=clickcount&reverse=true&hidebroken=true&limit=50";
    if (!query.name.empty())
        address += "&name=" + Encoded(query.name);
    if (!query.tag.empty())
        address += "&tag=" + Encoded(query.tag);
    if (!query.countryCode.empty())
        address += "&countrycode=" + Encoded(query.countryCode);
    return address;
}

SearchResult ParseSearchAnswer(const std::string& json) {
    SearchResult result;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        result.message = MalformedText;
        return result;
    }
    result.ok = true;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        FoundStation s;
        s.url = Address(o, "url_resolved");
        if (s.url.empty())
            continue;
        s.uuid = Text(o, "stationuuid");
        s.name = Text(o, "name");
        s.favicon = Address(o, "favicon");
        s.tags = Text(o, "tags");
        s.countryCode = Text(o, "countrycode");
        s.codec = Text(o, "codec");
        s.bitrate = o.value("bitrate").toInt();
        s.hls = Flag(o.value("hls"));
        result.stations.push_back(std::move(s));
    }
    if (result.stations.empty())
        result.message = NothingFoundText;
    return result;
}

SearchResult Search(const std::vector<std::string>& servers, const SearchQuery& query,
                    const net::HttpOptions& options, const net::CancelFlag* cancel) {
    for (const std::string& server : servers) {
        if (cancel && cancel->load())
            break;
        const net::HttpResult answer = net::httpGet(SearchAddress(server, query), options, cancel);
        if (answer.ok)
            return ParseSearchAnswer(answer.body);
    }
    SearchResult offline;
    offline.message = OfflineText;
    return offline;
}

bool CountClick(const std::vector<std::string>& servers, const std::string& uuid,
                const net::HttpOptions& options, const net::CancelFlag* cancel) {
    for (const std::string& server : servers) {
        if (net::httpGet(server + "/json/url/" + Encoded(uuid), options, cancel).ok)
            return true;
        if (cancel && cancel->load())
            break;
    }
    return false;
}

} // namespace tembrik::directory
