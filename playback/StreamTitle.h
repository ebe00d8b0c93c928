#pragma once
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace playback {

// Cuts the title out of a stream-metadata tag such as "StreamTitle='Artist - Song';StreamUrl='';".
// The title starts one character after "StreamTitle=" and ends two characters before the first ";"
// of the whole tag (dropping the quotes whatever they are); it is empty when that ";" is missing
// or lies before the title. No "StreamTitle=" at all gives nothing.
std::optional<std::string> CutStreamTitle(std::string_view tag);

// Title bytes as text: stations send UTF-8 or Windows-1251; valid UTF-8 is taken as UTF-8.
QString TitleText(const std::string& bytes);

// Reads the current stream's tag and reports its title to the main window. Worker or library thread.
void ReadStreamTitle();

} // namespace playback
