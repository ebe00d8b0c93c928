#pragma once
#include <QAbstractButton>
#include <QMouseEvent>
#include <QPixmap>

// A picture on a skinned window that may react to clicks: the window backgrounds, the close and
// minimise marks, the small icons, and the picture-less click areas over painted close marks.
// A button underneath, so screen readers and test tools can find and press it by its hint.
class ImageControl : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    // Stretched pictures fill the control; others are drawn unscaled from the top-left corner.
    void setStretch(bool on);
    // The hint shown on hover; also the control's accessible name.
    void setHint(const QString& hint);
    QString hint() const { return toolTip(); }
    QSize sizeHint() const override { return size(); }

signals:
    void pressedAt(QMouseEvent* event);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    QPixmap picture_;
    bool stretch_ = false;
};
