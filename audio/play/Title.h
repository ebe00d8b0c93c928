// What tembrik-play prints as a title: the text between "StreamTitle='" and the next "';" (or the
// rest of the tag), in UTF-8 (text that is valid UTF-8 stays; anything else is read as Windows-1251).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrik::play {

// nullopt when the tag has no "StreamTitle='".
std::optional<std::string> cutTitle(std::string_view tag);

bool isValidUtf8(std::string_view text);
std::string cp1251ToUtf8(std::string_view text);
std::string toUtf8(std::string_view text); // valid UTF-8 unchanged, otherwise from Windows-1251

// Text fit for one event line on a terminal, from UTF-8 that a server chose: CR, LF and TAB become
// spaces (a title cannot start a forged line), the other C0 and C1 controls and DEL become U+FFFD
// (no escape sequence or bell reaches the terminal).
std::string eventText(std::string_view utf8);

} // namespace tembrik::play
