#include "tembrik/platform/Integer.h"

#include "tembrik/platform/Errors.h"

#include <string>

namespace tembrik::platform {

namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

std::optional<std::int32_t> tryParseInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    // Hexadecimal texts may spell the full 32-bit pattern ("$FFFFFFFF" is -1), as the files'
    // original reader allowed; decimal texts must fit the signed range.
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return std::nullopt;
        value = value * base + d;
        if (value > limit)
            return std::nullopt;
    }
    if (base == 16)
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t parseInt(std::string_view text) {
    if (auto v = tryParseInt(text))
        return *v;
    throw ConvertError(std::string(text));
}

} // namespace tembrik::platform
