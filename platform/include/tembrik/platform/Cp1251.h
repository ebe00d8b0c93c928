#pragma once
// The program's text files are 8-bit Windows-1251 text; everything in memory is UTF-8.
#include <string>
#include <string_view>

namespace tembrik::platform {

// Every byte has a meaning except 0x98, which becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// Characters Windows-1251 cannot hold become '?', as the system's own conversion does; invalid
// UTF-8 bytes become '?' too.
std::string utf8ToCp1251(std::string_view utf8);

} // namespace tembrik::platform
