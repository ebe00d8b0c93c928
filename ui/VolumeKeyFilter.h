#pragma once
// The program's volume keys: Up, Down and the keypad's plus and minus move the main volume slider by
// 1, by 10 with Shift, in whichever window of the program has the keyboard focus, and reach no
// control (no grid, slider or text box sees them). The main keyboard's plus and minus are left
// alone, and an open popup menu keeps its arrow keys. GUI thread only.
#include <QObject>
#include <QPointer>

class QKeyEvent;
class QSlider;

class VolumeKeyFilter : public QObject {
public:
    VolumeKeyFilter(QSlider* volume, QObject* parent);

    // Filters every event of the application from now on; installing it again changes nothing.
    void install();

    // How far the key moves the volume: 0 for keys that are not volume keys.
    static int Step(const QKeyEvent& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QSlider> volume_;
    bool installed_ = false;
};
