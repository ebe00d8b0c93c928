#pragma once
#include <QColor>
#include <QWidget>

// A panel with rounded corners and a border, drawn over a skinned window's background to group
// controls. Its children lie on it; the corners outside the rounding stay see-through.
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    RoundedPanel(int cornerRadius, int borderWidth, QWidget* parent = nullptr);

    void setColors(const QColor& fill, const QColor& border);
    int cornerRadius() const { return radius_; }
    int borderWidth() const { return border_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int radius_;
    int border_;
    QColor fill_{255, 255, 255, 70};
    QColor borderColor_{40, 44, 52, 90};
};
