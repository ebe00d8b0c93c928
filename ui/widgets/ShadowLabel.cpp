#include "ShadowLabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

ShadowLabel::ShadowLabel(QWidget* parent)
    : QLabel(parent), shadow_(QApplication::palette().color(QPalette::Highlight)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setTextFormat(Qt::PlainText);
}

void ShadowLabel::setShadowColor(const QColor& c) {
    shadow_ = c;
    update();
}

void ShadowLabel::setCaption(const QString& text) {
    setText(text);
    const QFontMetrics fm(font());
    // One extra pixel each way for the shadow.
    resize(fm.horizontalAdvance(text) + 2, fm.height() + 1);
    update();
    emit captionChanged(text);
}

void ShadowLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const QRect r = contentsRect().adjusted(1, 1, 0, 0);
    const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    p.setPen(shadow_);
    p.drawText(r.translated(-1, -1), flags, text());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(r, flags, text());
}

void ShadowLabel::mousePressEvent(QMouseEvent* e) {
    pressedInside_ = e->button() == Qt::LeftButton;
    emit pressed(e);
}

void ShadowLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click =
        pressedInside_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    pressedInside_ = false;
    if (click)
        emit clicked();
}

void ShadowLabel::enterEvent(QEnterEvent* e) {
    emit entered();
    QLabel::enterEvent(e);
}

void ShadowLabel::leaveEvent(QEvent* e) {
    emit left();
    QLabel::leaveEvent(e);
}
