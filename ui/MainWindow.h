#pragma once
// The main window: the borderless radio gadget with the logo grids, the playback buttons, the volume
// slider, the now-playing line and the small links and icons. Members are named for their role and
// handlers for what they do; each control keeps its designer name as its Qt object name, set where
// it is created, so tests and readers of the layout table can still find it.
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class ImageControl;
class LogoGrid;
class ShadowLabel;
class SkinSlider;
class VolumeKeyFilter;
struct StatusReport;
namespace tembrik::mediaplayer {
class MediaPlayer;
struct MediaPlayerConfig;
} // namespace tembrik::mediaplayer
namespace playback {
class ReconnectPolicy;
}
namespace tembrik::platform {
class GlobalHotKeys;
}

// Identifiers of the global hot keys (ui/MainWindowChrome.cpp).
enum HotKeyId { HotKeyPlay = 1, HotKeyRecord, HotKeyStop, HotKeyVolumeDown, HotKeyVolumeUp, HotKeyShowHide };

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Creating the window runs its start-up sequence (startUp).
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override; // tearDown

    // Visible controls, back to front.
    ImageControl* background;
    ShadowLabel* allStationsLink;
    ShadowLabel* favouritesLink;
    ImageControl* muteIcon;
    ShadowLabel* volumeLabel;
    ShadowLabel* stationTitle;
    ImageControl* favouriteStar;
    ImageControl* closeIcon;
    ImageControl* minimizeIcon;
    ShadowLabel* siteLink;
    ImageControl* aboutIcon;
    ImageControl* optionsIcon;
    ImageControl* editIcon;
    ShadowLabel* nowPlaying;
    SkinSlider* volumeSlider;
    QPushButton* playButton;
    QPushButton* recordButton;
    QPushButton* stopButton;
    LogoGrid* stationGrid;
    LogoGrid* favouritesGrid;

    // Controls that are never shown, and components without a place.
    QPushButton* importButton;
    QPushButton* reloadButton;
    QPushButton* connectButton;
    QStringList importLogoUrls;  // logo addresses the import downloads
    QStringList importLogoNames; // file names of those downloads
    QWidget* playerHost;
    // The second media player, created the first time a station needs it: libmpv costs memory
    // that most listeners, whose stations all play on the main engine, never need. Null until then.
    tembrik::mediaplayer::MediaPlayer* secondPlayer = nullptr;
    tembrik::mediaplayer::MediaPlayer& ensureSecondPlayer();
    QTimer* updateCheckTimer;
    QTimer* controlsReadyTimer;
    QSystemTrayIcon* trayIcon;
    QMenu* trayMenu;
    QAction* openItem;
    QAction* openSeparator;
    QAction* playItem;
    QAction* stopItem;
    QAction* muteItem;
    QAction* muteSeparator;
    QAction* optionsItem;
    QAction* helpItem;
    QAction* helpSeparator;
    QAction* exitItem;

    // Window events.
    void startUp();
    void windowActivated();
    void windowClosing();
    void tearDown();
    void dragByWindow(QMouseEvent* e);
    void dragByBackground(QMouseEvent* e);
    void dragByTitle(QMouseEvent* e);
    void backgroundDoubleClicked();

    // Handlers that only forward.
    void playFromTray();
    void stopFromTray();
    void muteFromTray();
    void optionsFromTray();
    void exitFromTray();
    void openAbout();
    void focusStationGrid();
    void focusFavouritesGrid();

    // Station catalogue, grid and favourites (ui/MainWindowStations.cpp). openStation, reloadStations,
    // fillStationGrid, fillFavouritesGrid and selectStation raise their errors to the caller; the
    // handlers bound to clicks show them in an error box.
    void openStation(int station);
    // Plays a station that is not in the catalogue (a directory search result) as openStation plays
    // a station file; no catalogue station is current afterwards, so the editor and the star cannot
    // write the played address into another station.
    void playUncataloguedStation(const std::string& url, const std::string& title, bool onSecondPlayer);
    void reloadStations();
    void fillStationGrid();
    void stationCellSelected(int column, int row);
    void selectStation(int station, bool freeStream, const QString& notFavouriteHint);
    void showAllStations();
    void fillFavouritesGrid();
    void showFavourites();
    void toggleFavourite();
    void favouriteCellSelected(int column, int row);
    void openStationEditor();
    // Engine steps of opening a station whose engines land later (ui/MainWindowStationEngines.cpp).
    void stopSecondPlayer();
    void startSecondPlayer(const QString& url);
    void stopMainChannel();
    void tickOptionsBoxesFromSettings();

    // Playback (ui/MainWindowPlayback.cpp).
    void connectCurrentStation();
    void onPlayClicked();
    void onStopClicked();
    void onRecordClicked();
    void volumeChanged();
    void toggleMute();
    void controlsReadyTimeout();
    void copyNowPlaying(QMouseEvent* e);
    void underlineNowPlaying();
    void plainNowPlaying();
    void secondPlayerStatusChanged();
    // The main window's handling of a status report from a worker or the engine's threads.
    void handleStatus(const StatusReport& report);
    void disablePlaybackControls();
    void enablePlaybackControls();
    // The end of the current stream: reconnect, waiting longer while streams keep ending early.
    void streamEnded(unsigned long long request, long long playedMs);
    void scheduleReconnect(std::chrono::milliseconds wait);
    // A user's choice (a station on either grid or engine, Play, Stop) ends the automatic retries.
    void cancelPendingReconnect();

    // Start-up operations of the engine, settings and hot keys, in the order the sequence calls them.
    void registerHotKeys();
    void releaseHotKeys();
    void hotKeyPressed(int id); // a global hot key was pressed
    void loadAudioAddOns();
    bool initAudioEngine();
    void freeAudioEngine();
    void resetAudioEngine();
    void loadSettings();
    void reopenLastStation();
    void configureEngine();
    void loadEqualizer();
    void attachEffectChain();
    void setStreamVolume(float volume);
    void handOverNetworkTexts(bool withProxy);

    // Chrome, settings, update, import.
    void closeProgram();
    void hideToTray();
    void openOptions();
    void openProductSite();
    void checkForUpdate();
    void importCatalogue();
    void showFromTray();
    void trayMenuAboutToShow();
    void openFromTray();
    void openFaq();

    // Text shown in an error box when a start-up step failed; empty when start-up completed.
    const QString& startupError() const { return startupError_; }

signals:
    // For observers outside the window (the desktop's media controls): sound started or stopped on
    // either engine, and a logo grid was filled anew.
    void playingChanged(bool playing);
    void gridsFilled();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void createControls();
    void createTrayIcon();
    void bindEvents();
    void runStartupSequence();

    QString startupError_;
    std::unique_ptr<playback::ReconnectPolicy> reconnect_;
    // The request the automatic reconnect made; while it is the current one, a failed open is
    // retried too, so a station whose source drops comes back by itself. 0: none.
    unsigned long long autoReconnectRequest_ = 0;
    // Counts the user's choices; a retry scheduled before the latest one is stale. GUI thread.
    unsigned long long userChoices_ = 0;
    // The volume the second media player gets when it is created: its own default until the
    // slider first moves.
    int mediaPlayerVolume_ = 50;
    tembrik::platform::GlobalHotKeys* hotKeys_ = nullptr;
    VolumeKeyFilter* volumeKeys_ = nullptr;
};

extern MainWindow* theMainWindow;

// Settings of the second media player for windows created from now on (tests use a silent output).
tembrik::mediaplayer::MediaPlayerConfig& MediaPlayerConfigForNewWindows();
