#include "SkinSlider.h"

SkinSlider::SkinSlider(Qt::Orientation orientation, int thumbLength, QWidget* parent)
    : QSlider(orientation, parent) {
    setCursor(Qt::PointingHandCursor);
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
    const bool h = orientation == Qt::Horizontal;
    const QString groove =
        h ? QStringLiteral("height: 6px; margin: 0 2px;") : QStringLiteral("width: 6px; margin: 2px 0;");
    const QString handle = h ? QStringLiteral("width: %1px; margin: -7px 0;").arg(thumbLength / 2)
                             : QStringLiteral("height: %1px; margin: 0 -7px;").arg(thumbLength / 2);
    setStyleSheet(
        QStringLiteral(
            "QSlider { background: transparent; }"
            "QSlider::groove { %1 border-radius: 3px; border: 1px solid #2a3442;"
            " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1b2430, stop:1 #3b4a5e); }"
            "QSlider::sub-page { border-radius: 3px; background: qlineargradient(x1:0, y1:0,"
            " x2:0, y2:1, stop:0 #7fd3ff, stop:1 #2b8fd6); }"
            "QSlider::handle { %2 border-radius: 9px; border: 1px solid #1d2633;"
            " background: qradialgradient(cx:0.4, cy:0.35, radius:0.8, fx:0.4, fy:0.3,"
            " stop:0 #ffffff, stop:0.5 #d6dde6, stop:1 #8d99a8); }"
            "QSlider::handle:disabled { background: #777; }")
            .arg(groove, handle));
}
