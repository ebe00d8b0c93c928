#pragma once
// Next and previous station for the media keys: a step through the logo grid that is shown.
#include <optional>
#include <vector>

namespace desktop {

// The index in `stations` (a grid's cells in reading order) of the cell `step` cells (+1 or -1) from
// the cell of `current`, wrapping at both ends. When `current` is in no cell, Next starts at the first
// cell and Previous at the last. Nothing when the grid has no station.
std::optional<int> NeighbourCell(const std::vector<int>& stations, int current, int step);

} // namespace desktop
