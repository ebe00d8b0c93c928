#pragma once
#include <QSlider>

// The skinned horizontal and vertical sliders: a QSlider with the gadget's look, so it keeps the
// standard keyboard, wheel and accessibility behaviour.
class SkinSlider : public QSlider {
    Q_OBJECT
public:
    SkinSlider(Qt::Orientation orientation, int thumbLength, QWidget* parent = nullptr);
};
