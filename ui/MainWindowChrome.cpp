// Window chrome of the main window: hiding to the tray, the tray icon and its menu, the links to the
// product site, the global hot keys and the volume keys.
#include "MainWindow.h"

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

void MainWindow::registerHotKeys() {
    if (!hotKeys_) {
        hotKeys_ = new GlobalHotKeys(this);
        connect(hotKeys_, &GlobalHotKeys::activated, this, &MainWindow::hotKeyPressed);
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

void MainWindow::releaseHotKeys() {
    if (hotKeys_)
        hotKeys_->releaseAll();
}

void MainWindow::hotKeyPressed(int id) {
    switch (id) {
    case HotKeyPlay:
        onPlayClicked();
        break;
    case HotKeyRecord:
        onRecordClicked();
        break;
    case HotKeyStop:
        onStopClicked();
        break;
    case HotKeyVolumeDown:
        if (volumeSlider->value() > 0)
            volumeSlider->setValue(volumeSlider->value() - 1);
        break;
    case HotKeyVolumeUp:
        if (volumeSlider->value() < 100)
            volumeSlider->setValue(volumeSlider->value() + 1);
        break;
    case HotKeyShowHide:
        if (isVisible() && !isMinimized())
            hideToTray();
        else
            showFromTray();
        break;
    default:
        break;
    }
}

void MainWindow::windowActivated() {
    if (!volumeKeys_)
        volumeKeys_ = new VolumeKeyFilter(volumeSlider, this);
    volumeKeys_->install();
}

void MainWindow::hideToTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // No tray host to bring the window back from: minimise, so the window list still has it.
        trayIcon->setToolTip(stationTitle->text());
        showMinimized();
        return;
    }
    hide();
    trayIcon->show();
    trayIcon->setToolTip(stationTitle->text());
}
void MainWindow::openProductSite() {
    OpenProductPage(HomePage);
}

void MainWindow::showFromTray() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::trayMenuAboutToShow() {
    muteItem->setText(muteIcon->hint());
}

void MainWindow::openFromTray() {
    showFromTray();
    trayIcon->hide();
}

void MainWindow::openFaq() {
    OpenProductPage(FaqPage);
}
