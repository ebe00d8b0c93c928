#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace tembrik::platform {

// Reads a signed 32-bit integer the way the program's files have always been read: optional leading
// spaces, an optional sign, then decimal digits, or hexadecimal digits after "$" or "0x"; nothing may
// follow. Returns nothing for anything else (empty text, trailing blanks, "1e3", overflow).
std::optional<std::int32_t> tryParseInt(std::string_view text);

// The same, raising ConvertError with the text when it is not an integer.
std::int32_t parseInt(std::string_view text);

} // namespace tembrik::platform
