#include "source/Playlist.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <unordered_set>

#include "source/Url.h"

namespace tembrik::audio::source {
namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string toLower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && toLower(text.substr(0, prefix.size())) == prefix;
}

// Text after a UTF-8 byte-order mark and leading white space.
std::string_view skipBomAndSpace(std::string_view s) {
    if (s.substr(0, 3) == "\xEF\xBB\xBF")
        s.remove_prefix(3);
    while (!s.empty() && (isSpace(s.front()) || s.front() == '\0'))
        s.remove_prefix(1);
    return s;
}

std::vector<std::string_view> lines(std::string_view body) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = body.size();
        out.push_back(body.substr(start, end - start));
        if (end == body.size())
            break;
        start = end + 1;
    }
    return out;
}

bool hasHlsTags(std::string_view body) {
    for (auto line : lines(body)) {
        if (startsWithNoCase(trim(line), "#ext-x-"))
            return true;
    }
    return false;
}

// Decodes the XML entities that appear in playlists.
std::string decodeEntities(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        std::size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        std::string name = toLower(s.substr(i + 1, semi - i - 1));
        long code = -1;
        if (name == "amp")
            code = '&';
        else if (name == "lt")
            code = '<';
        else if (name == "gt")
            code = '>';
        else if (name == "quot")
            code = '"';
        else if (name == "apos")
            code = '\'';
        else if (name.size() > 1 && name[0] == '#') {
            char* end = nullptr;
            code = name[1] == 'x' ? std::strtol(name.c_str() + 2, &end, 16)
                                  : std::strtol(name.c_str() + 1, &end, 10);
            if (!end || *end != '\0')
                code = -1;
        }
        if (code < 0 || code > 0x10FFFF) {
            out += s[i];
            continue;
        }
        // UTF-8 encode.
        auto u = static_cast<unsigned long>(code);
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (u >> 18));
            out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
        i = semi;
    }
    return out;
}

// "key=value" lines whose key is prefix + number (case-insensitive), ordered by number.
std::vector<std::string> numberedEntries(std::string_view body, std::string_view prefix) {
    std::multimap<long, std::string> byNumber;
    for (auto raw : lines(body)) {
        auto line = trim(raw);
        auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        auto key = trim(line.substr(0, eq));
        if (!startsWithNoCase(key, prefix))
            continue;
        auto digits = key.substr(prefix.size());
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            })) {
            continue;
        }
        auto value = trim(line.substr(eq + 1));
        if (value.empty())
            continue;
        byNumber.emplace(std::strtol(std::string(digits).c_str(), nullptr, 10), std::string(value));
    }
    std::vector<std::string> out;
    for (auto& [n, v] : byNumber)
        out.push_back(v);
    return out;
}

std::vector<std::string> m3uEntries(std::string_view body) {
    std::vector<std::string> out;
    bool first = true;
    for (auto raw : lines(body)) {
        auto line = first ? trim(skipBomAndSpace(raw)) : trim(raw);
        first = false;
        if (line.empty() || line.front() == '#')
            continue;
        out.emplace_back(line);
    }
    return out;
}

// Value of attribute `name` inside the tag text `tag` (the part between '<' and '>').
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    std::string lowerTag = toLower(tag);
    std::size_t pos = 0;
    while ((pos = lowerTag.find(name, pos)) != std::string::npos) {
        bool boundary = pos > 0 && (isSpace(lowerTag[pos - 1]));
        std::size_t p = pos + name.size();
        while (p < tag.size() && isSpace(tag[p]))
            ++p;
        if (!boundary || p >= tag.size() || tag[p] != '=') {
            pos += name.size();
            continue;
        }
        ++p;
        while (p < tag.size() && isSpace(tag[p]))
            ++p;
        if (p >= tag.size())
            return std::nullopt;
        std::string_view value;
        if (tag[p] == '"' || tag[p] == '\'') {
            char q = tag[p];
            std::size_t end = tag.find(q, p + 1);
            if (end == std::string_view::npos)
                end = tag.size();
            value = tag.substr(p + 1, end - p - 1);
        } else {
            std::size_t end = p;
            while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '/')
                ++end;
            value = tag.substr(p, end - p);
        }
        return decodeEntities(trim(value));
    }
    return std::nullopt;
}

std::vector<std::string> asxEntries(std::string_view body) {
    std::vector<std::string> out;
    std::string lowerBody = toLower(body);
    std::size_t pos = 0;
    while ((pos = lowerBody.find('<', pos)) != std::string::npos) {
        std::size_t end = lowerBody.find('>', pos);
        if (end == std::string::npos)
            break;
        std::string_view tag(body.data() + pos + 1, end - pos - 1);
        std::string_view lowerTagName(lowerBody.data() + pos + 1, end - pos - 1);
        auto nameEnd = lowerTagName.find_first_of(" \t\r\n/");
        auto name = lowerTagName.substr(0, nameEnd);
        if (name == "ref" || name == "entryref") {
            if (auto href = attribute(tag, "href"); href && !href->empty())
                out.push_back(*href);
        }
        pos = end + 1;
    }
    return out;
}

std::vector<std::string> xspfEntries(std::string_view body) {
    std::vector<std::string> out;
    std::string lowerBody = toLower(body);
    std::size_t pos = 0;
    while ((pos = lowerBody.find("<location", pos)) != std::string::npos) {
        std::size_t open = lowerBody.find('>', pos);
        if (open == std::string::npos)
            break;
        std::size_t close = lowerBody.find("</location", open);
        if (close == std::string::npos)
            break;
        auto value = trim(body.substr(open + 1, close - open - 1));
        if (value.substr(0, 9) == "<![CDATA[" && value.size() >= 12 &&
            value.substr(value.size() - 3) == "]]>") {
            out.emplace_back(trim(value.substr(9, value.size() - 12)));
        } else if (!value.empty()) {
            out.push_back(decodeEntities(value));
        }
        pos = close;
    }
    return out;
}

PlaylistKind kindFromContentType(std::string_view contentType) {
    std::string type = toLower(trim(contentType.substr(0, contentType.find(';'))));
    static const std::pair<const char*, PlaylistKind> table[] = {
        {"audio/x-mpegurl", PlaylistKind::M3u},
        {"audio/mpegurl", PlaylistKind::M3u},
        {"application/x-mpegurl", PlaylistKind::M3u},
        {"application/mpegurl", PlaylistKind::M3u},
        {"application/vnd.apple.mpegurl", PlaylistKind::M3u},
        {"audio/m3u", PlaylistKind::M3u},
        {"audio/x-m3u", PlaylistKind::M3u},
        {"audio/x-scpls", PlaylistKind::Pls},
        {"audio/scpls", PlaylistKind::Pls},
        {"audio/x-pls", PlaylistKind::Pls},
        {"application/pls+xml", PlaylistKind::Pls},
        {"application/pls", PlaylistKind::Pls},
        {"video/x-ms-asx", PlaylistKind::Asx},
        {"audio/x-ms-asx", PlaylistKind::Asx},
        {"application/x-ms-asx", PlaylistKind::Asx},
        {"audio/x-ms-wax", PlaylistKind::Asx},
        {"video/x-ms-wvx", PlaylistKind::Asx},
        {"video/x-ms-wax", PlaylistKind::Asx},
        {"application/xspf+xml", PlaylistKind::Xspf},
    };
    for (auto& [name, kind] : table) {
        if (type == name)
            return kind;
    }
    return PlaylistKind::None;
}

PlaylistKind kindFromContent(std::string_view firstBytes) {
    auto s = skipBomAndSpace(firstBytes);
    if (startsWithNoCase(s, "#extm3u"))
        return PlaylistKind::M3u;
    if (startsWithNoCase(s, "[playlist]"))
        return PlaylistKind::Pls;
    if (startsWithNoCase(s, "[reference]"))
        return PlaylistKind::AsfReference;
    if (startsWithNoCase(s, "<asx"))
        return PlaylistKind::Asx;
    if (startsWithNoCase(s, "<?xml") || startsWithNoCase(s, "<!--")) {
        std::string lowerText = toLower(s);
        auto asx = lowerText.find("<asx");
        auto xspf = lowerText.find("<playlist");
        if (asx != std::string::npos && (xspf == std::string::npos || asx < xspf))
            return PlaylistKind::Asx;
        if (xspf != std::string::npos)
            return PlaylistKind::Xspf;
        return PlaylistKind::None;
    }
    if (startsWithNoCase(s, "<playlist"))
        return PlaylistKind::Xspf;
    if (startsWithNoCase(s, "http://") || startsWithNoCase(s, "https://") || startsWithNoCase(s, "mms://") ||
        startsWithNoCase(s, "mmsh://") || (startsWithNoCase(s, "#extinf"))) {
        return PlaylistKind::M3u;
    }
    return PlaylistKind::None;
}

} // namespace

PlaylistKind detectPlaylist(std::string_view contentType, std::string_view firstBytes) {
    PlaylistKind kind = kindFromContent(firstBytes);
    if (kind == PlaylistKind::None)
        kind = kindFromContentType(contentType);
    if (kind == PlaylistKind::M3u && hasHlsTags(firstBytes))
        kind = PlaylistKind::Hls;
    return kind;
}

std::vector<std::string> parsePlaylist(PlaylistKind kind, std::string_view body) {
    switch (kind) {
    case PlaylistKind::M3u:
        return hasHlsTags(body) ? std::vector<std::string>{} : m3uEntries(body);
    case PlaylistKind::Pls:
        return numberedEntries(body, "file");
    case PlaylistKind::AsfReference:
        return numberedEntries(body, "ref");
    case PlaylistKind::Asx:
        return asxEntries(body);
    case PlaylistKind::Xspf:
        return xspfEntries(body);
    case PlaylistKind::Hls:
    case PlaylistKind::None:
        break;
    }
    return {};
}

std::vector<std::string> playlistUrls(PlaylistKind kind, std::string_view body, std::string_view baseUrl) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const auto& entry : parsePlaylist(kind, body)) {
        auto url = resolveUrl(baseUrl, entry);
        if (url && seen.insert(*url).second)
            out.push_back(std::move(*url));
    }
    return out;
}

} // namespace tembrik::audio::source
