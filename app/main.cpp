// Program entry: the five windows are created in a fixed order (creating the main window runs the
// start-up sequence), then the GUI thread's event loop runs until the main window closes.
#include "SingleInstance.h"

#include "tembrik/platform/ProgramDir.h"
#include "ui/Application.h"
#include "ui/ProgramWindows.h"

#include "desktop/MprisService.h"

#include <QLoggingCategory>
#include <memory>

int main(int argc, char** argv) {
    TembrikApplication app(argc, argv);
    QApplication::setApplicationName("Tembrik");
    // The window and the tray icon belong to tembrik.desktop, with its name and icon.
    QGuiApplication::setDesktopFileName("tembrik");
    // A truncated logo shows as an empty cell; the JPEG reader's complaint about it at every start
    // would only be noise on the terminal.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    // The tray keeps the program alive while the main window is hidden; closing the main window
    // is what ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(tembrik::platform::programDir());
    switch (instance.claim()) {
    case SingleInstance::Role::First:
        break;
    case SingleInstance::Role::Second:
        return 0;
    case SingleInstance::Role::Silent:
        qCritical("Tembrik is already running from this folder but does not answer.");
        return 1;
    }

    auto windows = std::make_unique<ProgramWindows>();
    MainWindow* mainWindow = windows->main.get();
    mainWindow->show();
    instance.onActivate = [main = mainWindow] {
        if (main->isHidden()) {
            main->openFromTray();
        } else {
            main->showNormal();
            main->raise();
            main->activateWindow();
        }
    };
    auto mpris = std::make_unique<desktop::MprisService>(*mainWindow);
    const int rc = QApplication::exec();
    mpris.reset();

    windows.reset(); // the main window goes last and frees the audio engine
    return rc;
}
