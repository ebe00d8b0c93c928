#include "import/TextCut.h"

#include <algorithm>

std::string TextBetween(std::string_view start, std::string_view end, std::string_view text) {
    const std::size_t p = start.empty() ? std::string_view::npos : text.find(start);
    std::size_t from = 0;
    if (p != std::string_view::npos)
        from = p + start.size();
    else if (!start.empty())
        from = std::min(start.size() - 1, text.size());
    const std::string_view rest = text.substr(from);
    const std::size_t q = end.empty() ? std::string_view::npos : rest.find(end);
    if (q == std::string_view::npos)
        return {};
    return std::string(rest.substr(0, q));
}

std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view replacement) {
    if (pattern.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    for (;;) {
        const std::size_t p = text.find(pattern);
        if (p == std::string_view::npos) {
            result.append(text);
            return result;
        }
        result.append(text.substr(0, p));
        result.append(replacement);
        text.remove_prefix(p + pattern.size());
    }
}
