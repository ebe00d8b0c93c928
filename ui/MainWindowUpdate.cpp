// The once-per-run version check on the main window.
#include "MainWindow.h"

#include "NetClient.h"
#include "ProductSite.h"
#include "UpdateNotice.h"

#include "update/VersionCheck.h"

#include <QTimer>

namespace {
constexpr std::chrono::milliseconds CheckTimeout{2000};
}

void MainWindow::checkForUpdate() {
    updateCheckTimer->stop();
    // An import waiting for the network owns the client; the check is not made this run.
    if (NetworkBusy())
        return;
    HttpTimeouts& timeouts = NetClientTimeouts();
    timeouts.connect = CheckTimeout;
    timeouts.read = CheckTimeout;
    std::string answer;
    try {
        answer = HttpGet(VersionFileAddress(ProductSite().toStdString()), timeouts.connect, timeouts.read);
    } catch (const NetError&) {
        // No connection, a time-out or an error status: as if there were no update.
        return;
    }
    if (UpdateAvailable(answer) && theUpdateNotice)
        theUpdateNotice->showModal();
}
