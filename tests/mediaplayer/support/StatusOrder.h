#pragma once

#include "support/PlayerObserver.h"

#include <gtest/gtest.h>

#include <vector>

namespace tembrik::mediaplayer::test {

// Whether the reports of one start read: "Подключение...", then any number of "Буферизация: N%",
// then "Воспроизведение" and/or "Воспроизведение: N Кбит/с", each with its play state, no text twice
// in a row, and ending in a playing text with a bitrate.
testing::AssertionResult connectsBuffersAndPlays(const std::vector<PlayerObserver::Report>& reports);

// The kbit/s figure of a "Воспроизведение: N Кбит/с" text, 0 for any other text.
int shownKbps(const QString& text);

} // namespace tembrik::mediaplayer::test
