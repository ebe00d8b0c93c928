// The integer reader of every settings and list file, checked against the standard library for the
// plain decimal texts both accept.
#include "tembrik/platform/Integer.h"
#include "tembrik/platform/Errors.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = tembrik::platform::tryParseInt(text);
    try {
        if (tembrik::platform::parseInt(text) != value.value())
            std::abort();
    } catch (const tembrik::platform::ConvertError&) {
        if (value)
            std::abort();
    }
    std::int32_t expected = 0;
    const bool plainDecimal = !text.empty() &&
                              text.find_first_not_of("-0123456789") == std::string_view::npos &&
                              text.find('-', 1) == std::string_view::npos;
    if (plainDecimal) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), expected);
        const bool fits = ec == std::errc() && end == text.data() + text.size();
        if (fits != value.has_value() || (fits && *value != expected))
            std::abort();
    }
    return 0;
}
