// Window chrome, tray, settings and hot keys on the main window.
#include "Unit1.h"

#include <QSystemTrayIcon>

void TForm1::RegisterHotKeys() {}
void TForm1::ReleaseHotKeys() {}

void TForm1::Image4Click() {
    close();
}
void TForm1::Image5Click() {
    hide();
}
void TForm1::Image7Click() {}
void TForm1::RxLabel1Click() {}
void TForm1::RxTrayIcon1Click() {
    show();
    raise();
    activateWindow();
}
void TForm1::PopupMenu1Popup() {}
void TForm1::N1Click() {
    RxTrayIcon1Click();
}
void TForm1::N7Click() {}
