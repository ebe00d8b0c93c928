#pragma once
#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QVector>

// The station logo grid: five picture columns, rows of 90 px, each picture stretched into its cell
// less a small margin. No focus or selection marks; the cell under the mouse is highlighted and a
// click reports (column, row). The columns can be switched off as a whole, which ignores clicks.
class LogoGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int Columns = 5;
    static constexpr int RowHeight = 90;
    static constexpr int Margin = 2; // on each side of a picture

    LogoGrid(int columnWidth, bool alwaysShowScrollBar, QWidget* parent = nullptr);

    int columnWidth() const { return columnWidth_; }
    int rowCount() const { return rows_; }
    void setRowCount(int rows);
    // An image already scaled to cellPictureSize() keeps painting cheap; a null image leaves the cell empty.
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

signals:
    void cellSelected(int column, int row);
    void mouseEntered();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBar();

    int columnWidth_;
    int rows_ = 0;
    QVector<QImage> cells_; // row-major, Columns per row
    QPoint hover_{-1, -1};
    bool columnsEnabled_ = true;
    QColor background_ = Qt::white;
};
