#include "PlainAnswer.h"

#include <algorithm>
#include <cctype>

namespace tembrik::platform::detail {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

int parseStatusLine(std::string_view line, bool& icy) {
    line = trim(line);
    std::size_t pos;
    if (startsWithNoCase(line, "HTTP/")) {
        icy = false;
        pos = 5;
        std::size_t digits = pos;
        while (pos < line.size() && (isDigit(line[pos]) || line[pos] == '.'))
            ++pos;
        if (pos == digits || !isDigit(line[digits]))
            return -1;
    } else if (startsWithNoCase(line, "ICY")) {
        icy = true;
        pos = 3;
    } else {
        return -1;
    }
    if (pos >= line.size() || line[pos] != ' ')
        return -1;
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    if (line.size() < pos + 3 || !isDigit(line[pos]) || !isDigit(line[pos + 1]) || !isDigit(line[pos + 2]))
        return -1;
    if (line.size() > pos + 3 && line[pos + 3] != ' ')
        return -1;
    return (line[pos] - '0') * 100 + (line[pos + 1] - '0') * 10 + (line[pos + 2] - '0');
}

bool mayBeStatusLine(std::string_view start) {
    auto prefixOf = [&](std::string_view word) {
        return startsWithNoCase(word, start.substr(0, std::min(start.size(), word.size())));
    };
    return prefixOf("HTTP/") || prefixOf("ICY ");
}

bool parseDecimal(std::string_view s, std::uint64_t& value) {
    if (s.empty() || s.size() > 18 || !std::all_of(s.begin(), s.end(), isDigit))
        return false;
    value = 0;
    for (char c : s)
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return true;
}

bool parseChunkSize(std::string_view line, std::uint64_t& size) {
    line = trim(line);
    std::size_t i = 0;
    size = 0;
    for (; i < line.size() && hexValue(line[i]) >= 0; ++i) {
        if (size > (UINT64_MAX >> 4) || i >= 15)
            return false;
        size = size * 16 + static_cast<std::uint64_t>(hexValue(line[i]));
    }
    if (i == 0)
        return false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i == line.size() || line[i] == ';';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

} // namespace tembrik::platform::detail
