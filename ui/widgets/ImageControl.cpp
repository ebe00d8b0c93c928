#include "ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

ImageControl::ImageControl(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ImageControl::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageControl::setStretch(bool on) {
    stretch_ = on;
    update();
}

void ImageControl::setHint(const QString& hint) {
    setToolTip(hint);
    setAccessibleName(hint);
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    if (stretch_) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), picture_);
    } else {
        p.drawPixmap(0, 0, picture_);
    }
}

void ImageControl::mousePressEvent(QMouseEvent* e) {
    emit pressedAt(e);
    // Only the left button clicks. The other buttons stop here too instead of reaching the window
    // beneath, so a press on a drag area starts one move, not two.
    if (e->button() == Qt::LeftButton)
        QAbstractButton::mousePressEvent(e);
    else
        e->accept();
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent* e) {
    emit doubleClicked();
    e->accept();
}
