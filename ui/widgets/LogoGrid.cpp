#include "LogoGrid.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

const QColor HoverColor(0xd6, 0xe8, 0xfb);
const QColor GridLineColor(Qt::white);

QString ScrollBarStyle(int width) {
    return QString(
               "QScrollBar:vertical { background: rgba(0, 0, 0, 18); width: %1px; margin: 0; border: none; }"
               "QScrollBar::handle:vertical { background: rgba(40, 52, 72, 120); min-height: 30px;"
               " border-radius: %2px; margin: 1px; }"
               "QScrollBar::handle:vertical:hover { background: rgba(40, 52, 72, 170); }"
               "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
        .arg(width)
        .arg(std::max(1, (width - 2) / 2));
}

} // namespace

LogoGrid::LogoGrid(int columnWidth, bool alwaysShowScrollBar, QWidget* parent)
    : QAbstractScrollArea(parent), columnWidth_(columnWidth), alwaysShowScrollBar_(alwaysShowScrollBar) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(alwaysShowScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    viewport()->setCursor(Qt::PointingHandCursor);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setCursor(Qt::ArrowCursor);
    verticalScrollBar()->setSingleStep(RowHeight / 3);
    styleScrollBar();
    updateScrollBar();
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
    QImage& cell = cells_[row * Columns + column];
    cell = picture;
    // Premultiplied or opaque pictures blit without conversion at every paint.
    if (!cell.isNull() && cell.format() != QImage::Format_RGB32 &&
        cell.format() != QImage::Format_ARGB32_Premultiplied)
        cell = cell.convertToFormat(cell.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                           : QImage::Format_RGB32);
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
    pressed_ = {-1, -1};
    updateScrollBar();
    viewport()->update();
}

void LogoGrid::setColumnsEnabled(bool on) {
    columnsEnabled_ = on;
    pressed_ = {-1, -1};
    viewport()->update();
}

void LogoGrid::setBackground(const QColor& c) {
    background_ = c;
    viewport()->update();
}

int LogoGrid::scrollOffset() const {
    return verticalScrollBar()->value();
}

void LogoGrid::scrollToRow(int row) {
    verticalScrollBar()->setValue(std::clamp(row, 0, std::max(0, rows_ - 1)) * RowHeight);
}

QPoint LogoGrid::cellAt(const QPoint& pos) const {
    const int y = pos.y() + scrollOffset();
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= viewport()->width() || pos.y() >= viewport()->height())
        return {-1, -1};
    const int col = pos.x() / columnWidth_;
    const int row = y / RowHeight;
    if (col >= Columns || row >= rows_)
        return {-1, -1};
    return {col, row};
}

int LogoGrid::scrollBarWidth() const {
    return std::max(MinScrollBarWidth, width() - Columns * columnWidth_);
}

void LogoGrid::styleScrollBar() {
    verticalScrollBar()->setStyleSheet(ScrollBarStyle(scrollBarWidth()));
}

void LogoGrid::updateScrollBar() {
    const int page = height();
    const int maximum = std::max(0, rows_ * RowHeight - page);
    // The viewport reaches under the bar while it is shown, so the columns keep their full width.
    const bool barShown = alwaysShowScrollBar_ || maximum > 0;
    setViewportMargins(0, 0, barShown ? -scrollBarWidth() : 0, 0);
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setRange(0, maximum);
}

void LogoGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    styleScrollBar();
    updateScrollBar();
}

void LogoGrid::setHover(QPoint cell) {
    if (cell != hover_) {
        hover_ = cell;
        viewport()->update();
    }
}

void LogoGrid::scrollContentsBy(int, int) {
    // The content moved under a resting pointer: the highlight follows the cell now under it.
    if (viewport()->underMouse())
        setHover(cellAt(viewport()->mapFromGlobal(QCursor::pos())));
    viewport()->update();
}

void LogoGrid::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    p.fillRect(e->rect(), background_);
    const int offset = scrollOffset();
    const int first = std::max(0, (offset + e->rect().top()) / RowHeight);
    const int last = std::min(rows_ - 1, (offset + e->rect().bottom()) / RowHeight);
    const QSize pictureSize = cellPictureSize();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = first; row <= last; ++row) {
        for (int col = 0; col < Columns; ++col) {
            const QRect cell(col * columnWidth_, row * RowHeight - offset, columnWidth_, RowHeight);
            if (QPoint(col, row) == hover_ && columnsEnabled_)
                p.fillRect(cell, HoverColor);
            const QImage& img = cells_[row * Columns + col];
            if (img.isNull())
                continue;
            const QRect target(cell.topLeft() + QPoint(Margin, Margin), pictureSize);
            if (img.size() == pictureSize)
                p.drawImage(target.topLeft(), img);
            else
                p.drawImage(target, img);
        }
    }
    p.setPen(GridLineColor);
    for (int col = 1; col <= Columns; ++col)
        p.drawLine(col * columnWidth_ - 1, e->rect().top(), col * columnWidth_ - 1, e->rect().bottom());
    for (int row = first; row <= last; ++row) {
        const int y = (row + 1) * RowHeight - offset - 1;
        p.drawLine(0, y, Columns * columnWidth_ - 1, y);
    }
}

void LogoGrid::mouseMoveEvent(QMouseEvent* e) {
    setHover(cellAt(e->position().toPoint()));
}

void LogoGrid::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && columnsEnabled_)
        pressed_ = cellAt(e->position().toPoint());
    e->accept();
}

void LogoGrid::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pressed = pressed_;
    pressed_ = {-1, -1};
    if (!columnsEnabled_)
        return;
    const QPoint cell = cellAt(e->position().toPoint());
    if (cell.x() >= 0 && cell == pressed)
        emit cellSelected(cell.x(), cell.y());
}

void LogoGrid::enterEvent(QEnterEvent* e) {
    emit mouseEntered();
    QAbstractScrollArea::enterEvent(e);
}

void LogoGrid::leaveEvent(QEvent* e) {
    setHover({-1, -1});
    QAbstractScrollArea::leaveEvent(e);
}
