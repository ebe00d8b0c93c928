#include "LogoGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

LogoGrid::LogoGrid(int columnWidth, bool alwaysShowScrollBar, QWidget* parent)
    : QAbstractScrollArea(parent), columnWidth_(columnWidth) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(alwaysShowScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(RowHeight / 3);
}

void LogoGrid::setRowCount(int rows) {
    rows_ = std::max(0, rows);
    cells_.resize(rows_ * Columns);
    updateScrollBar();
    viewport()->update();
}

void LogoGrid::setPicture(int column, int row, const QImage& picture) {
    if (column < 0 || column >= Columns || row < 0 || row >= rows_)
        return;
    cells_[row * Columns + column] = picture;
    viewport()->update();
}

QImage LogoGrid::picture(int column, int row) const {
    if (column < 0 || column >= Columns || row < 0 || row >= rows_)
        return {};
    return cells_[row * Columns + column];
}

void LogoGrid::clear() {
    rows_ = 0;
    cells_.clear();
    hover_ = {-1, -1};
    updateScrollBar();
    viewport()->update();
}

void LogoGrid::setColumnsEnabled(bool on) {
    columnsEnabled_ = on;
    viewport()->update();
}

void LogoGrid::setBackground(const QColor& c) {
    background_ = c;
    viewport()->update();
}

QPoint LogoGrid::cellAt(const QPoint& pos) const {
    const int y = pos.y() + verticalScrollBar()->value();
    const int col = pos.x() / columnWidth_;
    const int row = y / RowHeight;
    if (pos.x() < 0 || y < 0 || col >= Columns || row >= rows_)
        return {-1, -1};
    return {col, row};
}

void LogoGrid::updateScrollBar() {
    const int content = rows_ * RowHeight;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
}

void LogoGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBar();
}

void LogoGrid::scrollContentsBy(int, int) {
    viewport()->update();
}

void LogoGrid::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    p.fillRect(e->rect(), background_);
    const int offset = verticalScrollBar()->value();
    const int first = offset / RowHeight;
    const int last = std::min(rows_ - 1, (offset + viewport()->height()) / RowHeight);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = first; row <= last; ++row) {
        for (int col = 0; col < Columns; ++col) {
            const QRect cell(col * columnWidth_, row * RowHeight - offset, columnWidth_, RowHeight);
            if (QPoint(col, row) == hover_ && columnsEnabled_)
                p.fillRect(cell, QColor(0xdd, 0xee, 0xff));
            const QImage& img = cells_[row * Columns + col];
            if (!img.isNull())
                p.drawImage(cell.adjusted(Margin, Margin, -Margin, -Margin), img);
        }
    }
    p.setPen(QColor(0xe4, 0xe6, 0xea));
    for (int col = 1; col <= Columns; ++col)
        p.drawLine(col * columnWidth_ - 1, 0, col * columnWidth_ - 1, viewport()->height());
    for (int row = first; row <= last; ++row)
        p.drawLine(0, (row + 1) * RowHeight - offset - 1, Columns * columnWidth_,
                   (row + 1) * RowHeight - offset - 1);
}

void LogoGrid::mouseMoveEvent(QMouseEvent* e) {
    const QPoint cell = cellAt(e->position().toPoint());
    if (cell != hover_) {
        hover_ = cell;
        viewport()->update();
    }
}

void LogoGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !columnsEnabled_)
        return;
    const QPoint cell = cellAt(e->position().toPoint());
    if (cell.x() >= 0)
        emit cellSelected(cell.x(), cell.y());
}

void LogoGrid::enterEvent(QEnterEvent* e) {
    emit mouseEntered();
    QAbstractScrollArea::enterEvent(e);
}

void LogoGrid::leaveEvent(QEvent* e) {
    hover_ = {-1, -1};
    viewport()->update();
    QAbstractScrollArea::leaveEvent(e);
}
