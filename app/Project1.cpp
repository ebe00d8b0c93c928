// Program entry: the five windows are created in a fixed order (creating the main window runs the
// start-up sequence), then the GUI thread's event loop runs until the main window closes.
#include "SingleInstance.h"

#include "tembrik/platform/ProgramDir.h"
#include "ui/Application.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"

#include "desktop/MprisService.h"

#include <QLoggingCategory>
#include <memory>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
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

    auto form1 = std::make_unique<TForm1>();
    auto form2 = std::make_unique<TForm2>();
    auto form3 = std::make_unique<TForm3>();
    auto form4 = std::make_unique<TForm4>();
    auto form5 = std::make_unique<TForm5>();
    form1->show();
    instance.onActivate = [main = form1.get()] {
        if (main->isHidden()) {
            main->N1Click();
        } else {
            main->showNormal();
            main->raise();
            main->activateWindow();
        }
    };
    auto mpris = std::make_unique<desktop::MprisService>(*form1);
    const int rc = QApplication::exec();
    mpris.reset();

    form5.reset();
    form4.reset();
    form3.reset();
    form2.reset();
    form1.reset(); // FormDestroy frees the audio engine last
    return rc;
}
