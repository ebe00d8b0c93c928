#pragma once
// The pieces of an HTTP answer the plain transfer reads: the status line, header values and the
// sizes of chunks.
#include <cstdint>
#include <string_view>

namespace tembrik::platform::detail {

bool startsWithNoCase(std::string_view s, std::string_view prefix);
bool equalsNoCase(std::string_view a, std::string_view b);

// Without surrounding blanks and line break.
std::string_view trim(std::string_view s);

// "HTTP/1.1 200 OK", "HTTP/1.0 200", "ICY 200 OK": the code, or -1 when the line is none of them.
int parseStatusLine(std::string_view line, bool& icy);

// Could `start` (the first bytes of an answer) begin a status line we accept? Decided on as few
// bytes as possible, so that an HTTP/0.9 stream without line breaks is refused at once.
bool mayBeStatusLine(std::string_view start);

// A Content-Length value; false when it is not a plain decimal number of sane size.
bool parseDecimal(std::string_view s, std::uint64_t& value);

// "1a2b[ ][;extension]" with its line break; false when malformed or too big to be real.
bool parseChunkSize(std::string_view line, std::uint64_t& size);

} // namespace tembrik::platform::detail
