#pragma once
// System-wide hot keys: key combinations that reach the program whichever application has the
// keyboard focus. On X11 every key is grabbed on the root window once per combination of the lock
// modifiers (Caps Lock, Num Lock, Scroll Lock), so it works whatever locks are on. Other window
// systems (Wayland, off-screen) have no global keys: supported() says so and add() grabs nothing.
// GUI thread only.
#include <QKeyCombination>
#include <QObject>

#include <memory>

namespace tembrik::platform {

class GlobalHotKeys : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Grabbed,
        Taken,       // another client already holds the combination
        Unsupported, // no global keys on this window system
        UnknownKey,  // the keyboard has no key for it
    };

    explicit GlobalHotKeys(QObject* parent = nullptr);
    ~GlobalHotKeys() override; // releases every key still held

    bool supported() const;
    // Grabs the combination under the given id; a combination that fails is left wholly ungrabbed.
    Result add(int id, QKeyCombination keys);
    void releaseAll();

signals:
    // Once per key press, auto-repeated presses included. Delivered through the event loop, never
    // from inside the window system's event handling.
    void activated(int id);

private:
    class X11;
    std::unique_ptr<X11> x11_;
};

} // namespace tembrik::platform
