#pragma once
// Cutting and replacing on 8-bit text, exact and case-sensitive.
#include <string>
#include <string_view>

// The text between the first `start` and the first `end` after it, neither included. Empty when
// `end` does not follow. When `start` does not occur the search for `end` begins at the offset
// length(start) - 1 (the whole text for an empty `start`), as the importer has always cut.
std::string TextBetween(std::string_view start, std::string_view end, std::string_view text);

// Every occurrence of `pattern`, left to right and not overlapping, replaced; a replacement is
// never searched again. An empty pattern leaves the text as it is.
std::string ReplaceAllText(std::string_view text, std::string_view pattern, std::string_view replacement);
