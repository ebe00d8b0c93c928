#pragma once
#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QVector>

// The station logo grid: five picture columns, rows of 90 px, each picture stretched into its cell
// less a margin of 4 px. No focus or selection marks, read-only; the cell under the mouse is
// highlighted, the pointer is a hand, and a click (press and release on the same cell) reports
// (column, row). The columns can be switched off as a whole, which ignores clicks.
//
// The vertical scroll bar lies over the grid's right edge, in the room the columns leave (at least a
// slim bar), so it never narrows the columns; it is shown always or only while the rows do not fit.
class LogoGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int Columns = 5;
    static constexpr int RowHeight = 90;
    static constexpr int Margin = 4; // on each side of a picture
    static constexpr int MinScrollBarWidth = 6;

    LogoGrid(int columnWidth, bool alwaysShowScrollBar, QWidget* parent = nullptr);

    int columnWidth() const { return columnWidth_; }
    int rowCount() const { return rows_; }
    void setRowCount(int rows);
    // An image already of cellPictureSize() is drawn without scaling; a null image empties the cell.
    void setPicture(int column, int row, const QImage& picture);
    QImage picture(int column, int row) const;
    QSize cellPictureSize() const { return {columnWidth_ - 2 * Margin, RowHeight - 2 * Margin}; }
    void clear();

    void setColumnsEnabled(bool on);
    bool columnsEnabled() const { return columnsEnabled_; }
    void setBackground(const QColor& c);
    QColor background() const { return background_; }

    // The cell at a viewport position, or (-1, -1).
    QPoint cellAt(const QPoint& viewportPos) const;
    // The cell under the mouse that is highlighted, or (-1, -1).
    QPoint hoveredCell() const { return hover_; }
    // Width of the vertical scroll bar, which lies over the content rather than beside it.
    int scrollBarWidth() const;
    // Top of the first visible pixel row of the content.
    int scrollOffset() const;
    // Scrolls so that the row is in view.
    void scrollToRow(int row);

signals:
    void cellSelected(int column, int row);
    void mouseEntered();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBar();
    void styleScrollBar();
    void setHover(QPoint cell);

    int columnWidth_;
    bool alwaysShowScrollBar_;
    int rows_ = 0;
    QVector<QImage> cells_; // row-major, Columns per row
    QPoint hover_{-1, -1};
    QPoint pressed_{-1, -1};
    bool columnsEnabled_ = true;
    QColor background_ = Qt::white;
};
