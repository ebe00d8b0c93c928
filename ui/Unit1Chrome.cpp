// Window chrome of the main window: hiding to the tray, the tray icon and its menu, the links to the
// product site, the global hot keys and the volume keys.
#include "Unit1.h"

#include "ErrorBox.h"
#include "ProductSite.h"
#include "VolumeKeyFilter.h"
#include "widgets/ImageControl.h"
#include "widgets/ShadowLabel.h"
#include "widgets/SkinSlider.h"

#include "tembrik/platform/GlobalHotKeys.h"

#include <QAction>
#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <cstdio>

using tembrik::platform::GlobalHotKeys;

namespace {

struct HotKey {
    int id;
    Qt::Key key;
    const char* name;
};

// Registered in this order. Ctrl + Shift + F5 is the show/hide key the About window lists.
constexpr HotKey HotKeyTable[] = {
    {HotKeyPlay, Qt::Key_F10, "F10"},   {HotKeyRecord, Qt::Key_F11, "F11"},
    {HotKeyStop, Qt::Key_F12, "F12"},   {HotKeyVolumeDown, Qt::Key_F8, "F8"},
    {HotKeyVolumeUp, Qt::Key_F9, "F9"}, {HotKeyShowHide, Qt::Key_F5, "F5"},
};

} // namespace

void TForm1::RegisterHotKeys() {
    if (!hotKeys_) {
        hotKeys_ = new GlobalHotKeys(this);
        connect(hotKeys_, &GlobalHotKeys::activated, this, &TForm1::WMHotKey);
    }
    if (!hotKeys_->supported()) {
        // Wayland keeps keys from programs that do not have the focus; nothing to grab, nothing to
        // report in a box at every start.
        std::fprintf(stderr, "tembrik: global hot keys need an X11 session (this is %s); none are set\n",
                     QGuiApplication::platformName().toLocal8Bit().constData());
        return;
    }
    for (const HotKey& k : HotKeyTable) {
        const auto result =
            hotKeys_->add(k.id, QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, k.key));
        if (result != GlobalHotKeys::Result::Grabbed)
            ShowMessage(QString("The hot key Ctrl + Shift + %1 cannot be assigned: another program "
                                "already uses it.")
                            .arg(k.name));
    }
}

void TForm1::ReleaseHotKeys() {
    if (hotKeys_)
        hotKeys_->releaseAll();
}

void TForm1::WMHotKey(int id) {
    switch (id) {
    case HotKeyPlay:
        sBitBtn2Click();
        break;
    case HotKeyRecord:
        sBitBtn1Click();
        break;
    case HotKeyStop:
        sBitBtn3Click();
        break;
    case HotKeyVolumeDown:
        if (sTrackBar1->value() > 0)
            sTrackBar1->setValue(sTrackBar1->value() - 1);
        break;
    case HotKeyVolumeUp:
        if (sTrackBar1->value() < 100)
            sTrackBar1->setValue(sTrackBar1->value() + 1);
        break;
    case HotKeyShowHide:
        if (isVisible() && !isMinimized())
            Image5Click();
        else
            RxTrayIcon1Click();
        break;
    default:
        break;
    }
}

void TForm1::FormActivate() {
    if (!volumeKeys_)
        volumeKeys_ = new VolumeKeyFilter(sTrackBar1, this);
    volumeKeys_->install();
}

void TForm1::Image5Click() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // No tray host to bring the window back from: minimise, so the window list still has it.
        RxTrayIcon1->setToolTip(RxLabel6->text());
        showMinimized();
        return;
    }
    hide();
    RxTrayIcon1->show();
    RxTrayIcon1->setToolTip(RxLabel6->text());
}
void TForm1::RxLabel1Click() {
    OpenProductPage(HomePage);
}

void TForm1::RxTrayIcon1Click() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TForm1::PopupMenu1Popup() {
    N3->setText(Image2->hint());
}

void TForm1::N1Click() {
    RxTrayIcon1Click();
    RxTrayIcon1->hide();
}

void TForm1::N7Click() {
    OpenProductPage(FaqPage);
}
