// The start-up sequence the main window runs while it is created. Its order matters: the catalogue is
// scanned before the settings may reopen the last station, and the engine options, equalizer, volume,
// proxy and user agent are all in force before the first stream opens (the play request's first
// report waits for the GUI thread, which is busy here until every window exists).
#include "MainWindow.h"

#include "widgets/LogoGrid.h"
#include "widgets/SkinSlider.h"

#include "app/PlayerState.h"
#include "playback/StatusChannel.h"
#include "settings/Proxy.h"
#include "stations/StationDirectory.h"
#include "tembrik/platform/ProgramDir.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {
constexpr const char* FixedUserAgent = "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US) AppleWebKit/534.10 "
                                       "(KHTML, like Gecko) Chrome/8.0.552.215 Safari/534.10";
}

void MainWindow::runStartupSequence() {
    PlayerState& s = State();
    const std::filesystem::path dir = tembrik::platform::programDir();

    registerHotKeys(); // 1
    loadAudioAddOns(); // 2
    s.RecordState = 0; // 3
    s.CheckUpdates = 0;
    s.AutostartEnabled = 0;
    s.OpenLast = false;
    tembrik::stations::RemoveThumbnailCaches();      // 4
    s.CurrentStation = 0;                            // 5
    const std::string proxy = ReadProxySetting(dir); // 6
    CopyNetText(s.ProxyText, proxy);
    CopyNetText(s.AgentText, FixedUserAgent);
    s.ImportCount = 1;                                    // 7
    reloadStations();                                     // 8
    s.Muted = 0;                                          // 9
    stationGrid->setBackground(QColor(0xFB, 0xFA, 0xFA)); // 10
    s.CurrentIsFavourite = 1;                             // 11
    s.FavouritesShown = 0;
    s.StatusReceiver = this; // 12
    MainStatusChannel().open(this, [this](const StatusReport& r) { handleStatus(r); });
    if (!initAudioEngine()) { // 13
        resetAudioEngine();
        std::exit(0);
    }
    loadSettings();                                            // 14
    configureEngine();                                         // 15
    loadEqualizer();                                           // 16
    attachEffectChain();                                       // 17
    volumeSlider->setValue(std::clamp(s.StartVolume, 0, 100)); // 18
    setStreamVolume(static_cast<float>(volumeSlider->value()) / 100.0f);
    handOverNetworkTexts(!proxy.empty() && proxy[0] != '.'); // 19
}
