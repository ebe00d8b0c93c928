#include "Application.h"

#include "ErrorBox.h"

#include <exception>

TembrikApplication::TembrikApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TembrikApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    }
    // The event counts as handled: what the handler did before the error stays done.
    return true;
}
