#include "desktop/GridNeighbour.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    std::vector<int> stations;
    int current;
    int step;
    std::optional<int> cell;
};

TEST(GridNeighbour, StepsThroughTheShownGridWrappingAtBothEnds) {
    const Case cases[] = {
        {"next in the middle", {4, 9, 2}, 9, +1, 2},
        {"previous in the middle", {4, 9, 2}, 9, -1, 0},
        {"next after the last wraps to the first", {4, 9, 2}, 2, +1, 0},
        {"previous before the first wraps to the last", {4, 9, 2}, 4, -1, 2},
        {"a station outside the grid: next starts at the first", {4, 9, 2}, 7, +1, 0},
        {"a station outside the grid: previous starts at the last", {4, 9, 2}, 7, -1, 2},
        {"no station opened yet", {1, 2, 3}, 0, +1, 0},
        {"a single station leads to itself", {5}, 5, -1, 0},
        {"an empty grid leads nowhere", {}, 3, +1, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktop::NeighbourCell(c.stations, c.current, c.step), c.cell) << c.what;
}

} // namespace
