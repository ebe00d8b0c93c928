#include "VolumeKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSlider>

VolumeKeyFilter::VolumeKeyFilter(QSlider* volume, QObject* parent) : QObject(parent), volume_(volume) {}

void VolumeKeyFilter::install() {
    if (installed_)
        return;
    qApp->installEventFilter(this);
    installed_ = true;
}

int VolumeKeyFilter::Step(const QKeyEvent& key) {
    const bool keypad = key.modifiers() & Qt::KeypadModifier;
    int direction = 0;
    switch (key.key()) {
    case Qt::Key_Up:
        direction = 1;
        break;
    case Qt::Key_Down:
        direction = -1;
        break;
    case Qt::Key_Plus:
        direction = keypad ? 1 : 0;
        break;
    case Qt::Key_Minus:
        direction = keypad ? -1 : 0;
        break;
    default:
        break;
    }
    return direction * ((key.modifiers() & Qt::ShiftModifier) ? 10 : 1);
}

bool VolumeKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int step = Step(*key);
    if (step == 0 || !volume_ || QApplication::activePopupWidget())
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claimed here so no shortcut takes the key; the press that follows moves the volume.
        event->accept();
        return true;
    }
    // The slider keeps 0..100 and applies the volume only when its position really changes.
    volume_->setValue(volume_->value() + step);
    return true;
}
