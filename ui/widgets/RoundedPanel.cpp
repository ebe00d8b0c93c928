#include "RoundedPanel.h"

#include <QPainter>
#include <QPen>

RoundedPanel::RoundedPanel(int cornerRadius, int borderWidth, QWidget* parent)
    : QWidget(parent), radius_(cornerRadius), border_(borderWidth) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedPanel::setColors(const QColor& fill, const QColor& border) {
    fill_ = fill;
    borderColor_ = border;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal half = border_ / 2.0;
    p.setPen(border_ > 0 ? QPen(borderColor_, border_) : QPen(Qt::NoPen));
    p.setBrush(fill_);
    p.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), radius_, radius_);
}
