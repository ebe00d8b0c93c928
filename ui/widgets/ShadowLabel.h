#pragma once
#include <QColor>
#include <QLabel>
#include <QMouseEvent>

// A transparent label that sizes itself to its text and draws a one-pixel light shadow up and to
// the left of it. Built on QLabel so screen readers see an ordinary label.
class ShadowLabel : public QLabel {
    Q_OBJECT
public:
    explicit ShadowLabel(QWidget* parent = nullptr);

    void setShadowColor(const QColor& c);
    QColor shadowColor() const { return shadow_; }
    // Keeps the label's top-left corner and fits its size to the text.
    void setCaption(const QString& text);

signals:
    // Every caption set through setCaption, also one equal to the last.
    void captionChanged(const QString& text);
    void clicked();
    void pressed(QMouseEvent* event);
    void entered();
    void left();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    QColor shadow_;
    bool pressedInside_ = false;
};
