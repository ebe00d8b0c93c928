#pragma once
#include <QString>
#include <optional>

namespace playback {

// The second media player's status line shows its bit rate as in "Воспроизведение: 128 Кбит/с".
// When the text holds "/с", the part after the first ": " (or from the second character when there
// is none) up to the first "/с" after it, followed by "/с"; that part is empty when no "/с" follows.
std::optional<QString> BitrateFromStatus(const QString& status);

} // namespace playback
