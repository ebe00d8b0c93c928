// The logo grid control on its own: geometry of cells and pictures, clicks, hover, scroll bar and
// the columns' on and off switch.
#include "ui/widgets/LogoGrid.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

QImage Filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Grids as the main window holds them: 482 × 268, columns of 96 (all stations) or 93 (favourites).
std::unique_ptr<LogoGrid> MakeGrid(int columnWidth, bool alwaysShowScrollBar, int rows) {
    auto grid = std::make_unique<LogoGrid>(columnWidth, alwaysShowScrollBar);
    grid->resize(482, 268);
    grid->setRowCount(rows);
    for (int k = 0; k < rows * LogoGrid::Columns; ++k)
        grid->setPicture(k % 5, k / 5,
                         Filled(grid->cellPictureSize(), QColor::fromHsv(k * 7 % 360, 200, 200)));
    grid->show();
    return grid;
}

QImage Render(LogoGrid& grid) {
    QImage out(grid.size(), QImage::Format_RGB32);
    grid.render(&out);
    return out;
}

QPoint CellCentre(const LogoGrid& grid, int column, int row) {
    return {column * grid.columnWidth() + grid.columnWidth() / 2,
            row * LogoGrid::RowHeight + LogoGrid::RowHeight / 2 - grid.scrollOffset()};
}

void Click(LogoGrid& grid, QPoint press, QPoint release) {
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, press);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, release);
}

void Hover(LogoGrid& grid, QPoint at) {
    QTest::mouseMove(grid.viewport(), at);
    QMouseEvent move(QEvent::MouseMove, at, grid.viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
}

} // namespace

TEST(LogoGrid, PicturesFillTheCellLessFourPixelsOnEverySide) {
    const struct {
        int columnWidth;
        QSize picture;
    } cases[] = {{96, {88, 82}}, {93, {85, 82}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columnWidth);
        auto grid = MakeGrid(c.columnWidth, false, 1);
        EXPECT_EQ(grid->cellPictureSize(), c.picture);
        grid->setBackground(QColor(0xFB, 0xFA, 0xFA));
        // A picture of another size is stretched into the same place.
        grid->setPicture(1, 0, Filled({300, 100}, Qt::red));
        const QImage shot = Render(*grid);
        const int left = c.columnWidth + 4;
        EXPECT_EQ(shot.pixelColor(left, 4), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(left + c.picture.width() - 1, 4 + c.picture.height() - 1), QColor(Qt::red));
        EXPECT_NE(shot.pixelColor(left - 1, 40), QColor(Qt::red));
        EXPECT_NE(shot.pixelColor(left + c.picture.width(), 40), QColor(Qt::red));
        EXPECT_NE(shot.pixelColor(left + 10, 3), QColor(Qt::red));
        EXPECT_NE(shot.pixelColor(left + 10, 4 + c.picture.height()), QColor(Qt::red));
    }
}

TEST(LogoGrid, ClickReportsColumnAndRowOfTheCellAlsoWhenScrolled) {
    auto grid = MakeGrid(96, false, 40);
    QSignalSpy spy(grid.get(), &LogoGrid::cellSelected);
    const struct {
        int scrollToRow, column, row;
    } cases[] = {{0, 0, 0}, {0, 4, 2}, {0, 2, 1}, {25, 3, 26}, {39, 1, 39}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << "," << c.row);
        grid->scrollToRow(c.scrollToRow);
        spy.clear();
        const QPoint at = CellCentre(*grid, c.column, c.row);
        Click(*grid, at, at);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toInt(), c.column);
        EXPECT_EQ(spy.at(0).at(1).toInt(), c.row);
    }
}

TEST(LogoGrid, NoClickWhenPressAndReleaseDifferOrOutsideTheCells) {
    auto grid = MakeGrid(96, false, 1);
    QSignalSpy spy(grid.get(), &LogoGrid::cellSelected);
    Click(*grid, CellCentre(*grid, 0, 0), CellCentre(*grid, 1, 0)); // dragged to another cell
    Click(*grid, CellCentre(*grid, 0, 1), CellCentre(*grid, 0, 1)); // below the last row
    Click(*grid, {481, 40}, {481, 40});                             // right of the five columns
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellCentre(*grid, 2, 0));
    EXPECT_EQ(spy.count(), 0);
}

TEST(LogoGrid, DisabledColumnsIgnoreClicksAndShowNoHighlight) {
    auto grid = MakeGrid(96, false, 2);
    QSignalSpy spy(grid.get(), &LogoGrid::cellSelected);
    const QImage before = Render(*grid);
    grid->setColumnsEnabled(false);
    Hover(*grid, CellCentre(*grid, 1, 1));
    EXPECT_EQ(Render(*grid), before);
    Click(*grid, CellCentre(*grid, 1, 1), CellCentre(*grid, 1, 1));
    EXPECT_EQ(spy.count(), 0);
    // Pressed while off, released once on again: still not a click.
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, CellCentre(*grid, 1, 1));
    grid->setColumnsEnabled(true);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, CellCentre(*grid, 1, 1));
    EXPECT_EQ(spy.count(), 0);
    Click(*grid, CellCentre(*grid, 1, 1), CellCentre(*grid, 1, 1));
    EXPECT_EQ(spy.count(), 1);
}

TEST(LogoGrid, HighlightFollowsTheMouseAndLeavesWithIt) {
    auto grid = MakeGrid(96, false, 2);
    grid->setPicture(3, 1, QImage()); // an empty cell shows the highlight plainly
    const QImage plain = Render(*grid);
    Hover(*grid, CellCentre(*grid, 3, 1));
    EXPECT_EQ(grid->hoveredCell(), QPoint(3, 1));
    const QImage lit = Render(*grid);
    EXPECT_NE(lit.pixelColor(CellCentre(*grid, 3, 1)), plain.pixelColor(CellCentre(*grid, 3, 1)));
    EXPECT_EQ(lit.pixelColor(CellCentre(*grid, 2, 1)), plain.pixelColor(CellCentre(*grid, 2, 1)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(grid.get(), &leave);
    EXPECT_EQ(grid->hoveredCell(), QPoint(-1, -1));
    EXPECT_EQ(Render(*grid), plain);
}

TEST(LogoGrid, NeitherFocusNorAClickLeavesAMark) {
    auto grid = MakeGrid(96, false, 2);
    const QImage before = Render(*grid);
    grid->setFocus();
    Click(*grid, CellCentre(*grid, 2, 0), CellCentre(*grid, 2, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(grid.get(), &leave);
    EXPECT_EQ(Render(*grid), before);
}

TEST(LogoGrid, ScrollBarAsEachGridWantsItWithoutNarrowingTheColumns) {
    const struct {
        const char* name;
        int columnWidth;
        bool always;
        int rows;
        bool shown;
    } cases[] = {
        {"all stations, rows fit", 96, false, 2, false},
        {"all stations, three rows do not fit", 96, false, 3, true},
        {"all stations, 201 rows", 96, false, 201, true},
        {"favourites, one row", 93, true, 1, true},
        {"favourites, many rows", 93, true, 30, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto grid = MakeGrid(c.columnWidth, c.always, c.rows);
        QApplication::processEvents();
        EXPECT_EQ(grid->verticalScrollBar()->isVisible(), c.shown);
        EXPECT_EQ(grid->viewport()->width() >= 5 * c.columnWidth, true) << grid->viewport()->width();
        EXPECT_EQ(grid->verticalScrollBar()->maximum(), std::max(0, c.rows * 90 - 268));
        if (c.shown) {
            // The bar lies at the right edge, over no part of a picture.
            const QRect bar(grid->verticalScrollBar()->mapTo(grid.get(), QPoint(0, 0)),
                            grid->verticalScrollBar()->size());
            EXPECT_EQ(bar.right(), 481);
            EXPECT_GE(bar.left(), 4 * c.columnWidth + 4 + grid->cellPictureSize().width());
        }
    }
}

TEST(LogoGrid, WheelScrollsAndTheHighlightFollowsTheCellUnderThePointer) {
    auto grid = MakeGrid(96, false, 200);
    const QPoint at = CellCentre(*grid, 1, 0);
    Hover(*grid, at);
    QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), {}, QPoint(0, -120 * 3), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    EXPECT_GT(grid->scrollOffset(), 0);
    grid->scrollToRow(199);
    EXPECT_EQ(grid->scrollOffset(), grid->verticalScrollBar()->maximum());
    QSignalSpy spy(grid.get(), &LogoGrid::cellSelected);
    const QPoint last = CellCentre(*grid, 4, 199);
    Click(*grid, last, last);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 199);
}

TEST(LogoGrid, HandCursorAndMouseEnterIsReported) {
    auto grid = MakeGrid(96, false, 1);
    EXPECT_EQ(grid->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QSignalSpy spy(grid.get(), &LogoGrid::mouseEntered);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(grid.get(), &enter);
    EXPECT_EQ(spy.count(), 1);
}

TEST(LogoGrid, ClearEmptiesEveryCell) {
    auto grid = MakeGrid(96, false, 3);
    grid->clear();
    EXPECT_EQ(grid->rowCount(), 0);
    grid->setRowCount(1);
    for (int c = 0; c < 5; ++c)
        EXPECT_TRUE(grid->picture(c, 0).isNull());
    grid->setPicture(5, 0, Filled({88, 82}, Qt::red)); // outside: ignored
    grid->setPicture(0, 1, Filled({88, 82}, Qt::red));
    EXPECT_TRUE(grid->picture(0, 1).isNull());
}
