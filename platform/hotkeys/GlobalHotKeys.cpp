#include "tembrik/platform/GlobalHotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace tembrik::platform {

namespace {

constexpr xcb_keysym_t NumLockSym = 0xff7f;
constexpr xcb_keysym_t ScrollLockSym = 0xff14;
constexpr std::uint16_t ModifierBits = 0xff; // the state's button bits are not modifiers

// X keysyms of the keys the program grabs: function keys, letters and digits.
xcb_keysym_t KeysymOf(Qt::Key key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + static_cast<xcb_keysym_t>(key - Qt::Key_F1);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'a' + static_cast<xcb_keysym_t>(key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<xcb_keysym_t>(key);
    return 0;
}

std::uint16_t ModifierMask(Qt::KeyboardModifiers m) {
    std::uint16_t mask = 0;
    if (m & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (m & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (m & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (m & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

} // namespace

class GlobalHotKeys::X11 : public QAbstractNativeEventFilter {
public:
    X11(GlobalHotKeys* owner, xcb_connection_t* c) : owner_(owner), c_(c) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        readKeyboard();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        releaseAll();
    }
    X11(const X11&) = delete;
    X11& operator=(const X11&) = delete;

    Result add(int id, QKeyCombination keys) {
        const xcb_keysym_t sym = KeysymOf(keys.key());
        const std::vector<xcb_keycode_t> codes = keycodesOf(sym);
        if (sym == 0 || codes.empty())
            return Result::UnknownKey;
        const std::uint16_t mods = ModifierMask(keys.keyboardModifiers());
        std::vector<xcb_void_cookie_t> cookies;
        for (xcb_keycode_t code : codes)
            for (std::uint16_t locks : lockCombinations())
                cookies.push_back(xcb_grab_key_checked(c_, 0, root_, mods | locks, code, XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
        // BadAccess is the usual answer: another client holds the combination.
        bool taken = false;
        for (xcb_void_cookie_t cookie : cookies) {
            if (xcb_generic_error_t* error = xcb_request_check(c_, cookie)) {
                taken = true;
                std::free(error);
            }
        }
        Grab grab{id, codes, mods};
        if (taken) {
            // Ungrabbing only ever releases our own grabs, never the other client's.
            ungrab(grab);
            return Result::Taken;
        }
        grabs_.push_back(std::move(grab));
        return Result::Grabbed;
    }

    void releaseAll() {
        for (const Grab& g : grabs_)
            ungrab(g);
        grabs_.clear();
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            return false;
        auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (press->event != root_)
            return false;
        const std::uint16_t mods = press->state & ModifierBits & ~lockMask_;
        for (const Grab& g : grabs_) {
            for (xcb_keycode_t code : g.codes) {
                if (code == press->detail && mods == g.mods) {
                    // The action may show boxes or raise errors: it runs from the event loop.
                    const int id = g.id;
                    QMetaObject::invokeMethod(
                        owner_, [o = owner_, id] { emit o->activated(id); }, Qt::QueuedConnection);
                    return true;
                }
            }
        }
        return false;
    }

private:
    struct Grab {
        int id;
        std::vector<xcb_keycode_t> codes;
        std::uint16_t mods;
    };

    void readKeyboard() {
        const xcb_setup_t* setup = xcb_get_setup(c_);
        minKeycode_ = setup->min_keycode;
        const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        auto* mapping =
            xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, minKeycode_, count), nullptr);
        if (mapping) {
            perKeycode_ = mapping->keysyms_per_keycode;
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
            keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(mapping));
            std::free(mapping);
        }
        // Num Lock and Scroll Lock sit on whichever modifier the keyboard map gives them.
        lockMask_ = XCB_MOD_MASK_LOCK;
        auto* modmap = xcb_get_modifier_mapping_reply(c_, xcb_get_modifier_mapping(c_), nullptr);
        if (!modmap)
            return;
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modmap);
        const int perModifier = modmap->keycodes_per_modifier;
        const auto num = keycodesOf(NumLockSym);
        const auto scroll = keycodesOf(ScrollLockSym);
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code == 0)
                    continue;
                for (const auto* list : {&num, &scroll})
                    for (xcb_keycode_t k : *list)
                        if (k == code && modifier > 2) // never Shift, Lock or Control
                            lockMask_ |= static_cast<std::uint16_t>(1u << modifier);
            }
        }
        std::free(modmap);
    }

    std::vector<xcb_keycode_t> keycodesOf(xcb_keysym_t sym) const {
        std::vector<xcb_keycode_t> codes;
        if (sym == 0 || perKeycode_ == 0)
            return codes;
        for (std::size_t i = 0; i < keysyms_.size(); ++i)
            if (keysyms_[i] == sym) {
                const auto code = static_cast<xcb_keycode_t>(minKeycode_ + i / perKeycode_);
                if (codes.empty() || codes.back() != code)
                    codes.push_back(code);
            }
        return codes;
    }

    // Every subset of the lock modifiers, the empty one first.
    std::vector<std::uint16_t> lockCombinations() const {
        std::vector<std::uint16_t> bits;
        for (std::uint16_t b = 1; b != 0 && b <= ModifierBits; b = static_cast<std::uint16_t>(b << 1))
            if (lockMask_ & b)
                bits.push_back(b);
        std::vector<std::uint16_t> combos;
        for (std::uint32_t subset = 0; subset < (1u << bits.size()); ++subset) {
            std::uint16_t mask = 0;
            for (std::size_t i = 0; i < bits.size(); ++i)
                if (subset & (1u << i))
                    mask |= bits[i];
            combos.push_back(mask);
        }
        return combos;
    }

    void ungrab(const Grab& g) {
        for (xcb_keycode_t code : g.codes)
            for (std::uint16_t locks : lockCombinations())
                xcb_ungrab_key(c_, code, root_, g.mods | locks);
        xcb_flush(c_);
    }

    GlobalHotKeys* owner_;
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    xcb_keycode_t minKeycode_ = 0;
    int perKeycode_ = 0;
    std::vector<xcb_keysym_t> keysyms_;
    std::uint16_t lockMask_ = 0;
    std::vector<Grab> grabs_;
};

GlobalHotKeys::GlobalHotKeys(QObject* parent) : QObject(parent) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
        if (xcb_connection_t* c = x11->connection())
            x11_ = std::make_unique<X11>(this, c);
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::supported() const {
    return x11_ != nullptr;
}

GlobalHotKeys::Result GlobalHotKeys::add(int id, QKeyCombination keys) {
    return x11_ ? x11_->add(id, keys) : Result::Unsupported;
}

void GlobalHotKeys::releaseAll() {
    if (x11_)
        x11_->releaseAll();
}

} // namespace tembrik::platform
