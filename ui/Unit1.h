#pragma once
// The main window: the borderless radio gadget with the logo grids, the playback buttons, the volume
// slider, the now-playing line and the small links and icons. Every control keeps its designer name;
// handlers are named after their control and event.
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

// Identifiers of the global hot keys (ui/Unit1Chrome.cpp).
enum HotKeyId { HotKeyPlay = 1, HotKeyRecord, HotKeyStop, HotKeyVolumeDown, HotKeyVolumeUp, HotKeyShowHide };

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Creating the window runs its start-up sequence (FormCreate).
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override; // FormDestroy

    // Visible controls, back to front.
    ImageControl* Image1;
    ShadowLabel* RxLabel2;
    ShadowLabel* RxLabel3;
    ImageControl* Image2;
    ShadowLabel* RxLabel5;
    ShadowLabel* RxLabel6;
    ImageControl* Image3;
    ImageControl* Image4;
    ImageControl* Image5;
    ShadowLabel* RxLabel1;
    ImageControl* Image6;
    ImageControl* Image7;
    ImageControl* Image8;
    ShadowLabel* RxLabel7;
    SkinSlider* sTrackBar1;
    QPushButton* sBitBtn2;
    QPushButton* sBitBtn1;
    QPushButton* sBitBtn3;
    LogoGrid* NextGrid1;
    LogoGrid* NextGrid2;

    // Controls that are never shown, and components without a place.
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QStringList Memo1; // logo addresses the import downloads
    QStringList Memo2; // file names of those downloads
    QWidget* Panel1;
    // The second media player, created the first time a station needs it: libmpv costs memory
    // that most listeners, whose stations all play on the main engine, never need. Null until then.
    tembrik::mediaplayer::MediaPlayer* WindowsMediaPlayer1 = nullptr;
    tembrik::mediaplayer::MediaPlayer& WindowsMediaPlayer();
    QTimer* Timer1;
    QTimer* Timer2;
    QSystemTrayIcon* RxTrayIcon1;
    QMenu* PopupMenu1;
    QAction* N1;
    QAction* N6;
    QAction* N2;
    QAction* Stop1;
    QAction* N3;
    QAction* N8;
    QAction* N9;
    QAction* N7;
    QAction* N5;
    QAction* N4;

    // Window events.
    void FormCreate();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void FormMouseDown(QMouseEvent* e);
    void Image1MouseDown(QMouseEvent* e);
    void RxLabel6MouseDown(QMouseEvent* e);
    void Image1DblClick();

    // Handlers that only forward.
    void N2Click();
    void Stop1Click();
    void N3Click();
    void N9Click();
    void N4Click();
    void Image6Click();
    void NextGrid1MouseEnter();
    void NextGrid2MouseEnter();

    // Station catalogue, grid and favourites (ui/Unit1Stations.cpp). OpenStation, Button2Click,
    // FillStationGrid, FillFavouritesGrid and SelectStation raise their errors to the caller; the
    // handlers bound to clicks show them in an error box.
    void OpenStation(int station);
    // Plays a station that is not in the catalogue (a directory search result) as OpenStation plays
    // a station file; no catalogue station is current afterwards, so the editor and the star cannot
    // write the played address into another station.
    void PlayUncataloguedStation(const std::string& url, const std::string& title, bool secondPlayer);
    void Button2Click();
    void FillStationGrid();
    void NextGrid1SelectCell(int column, int row);
    void SelectStation(int station, bool freeStream, const QString& notFavouriteHint);
    void RxLabel2Click();
    void FillFavouritesGrid();
    void RxLabel3Click();
    void Image3Click();
    void NextGrid2SelectCell(int column, int row);
    void Image8Click();
    // Engine steps of opening a station whose engines land later (ui/Unit1StationEngines.cpp).
    void StopAlternativeEngine();
    void StartAlternativeEngine(const QString& url);
    void StopMainChannel();
    void TickOptionsBoxesFromSettings();

    // Playback (ui/Unit1Playback.cpp).
    void Button3Click();
    void sBitBtn2Click();
    void sBitBtn3Click();
    void sBitBtn1Click();
    void sTrackBar1Change();
    void Image2Click();
    void Timer2Timer();
    void RxLabel7MouseDown(QMouseEvent* e);
    void RxLabel7MouseEnter();
    void RxLabel7MouseLeave();
    void WindowsMediaPlayer1StatusChange();
    // The main window's handling of a status report from a worker or the engine's threads.
    void HandleStatus(const StatusReport& report);
    void DisablePlaybackControls();
    void EnablePlaybackControls();
    // The end of the current stream: reconnect, waiting longer while streams keep ending early.
    void StreamEnded(unsigned long long request, long long playedMs);
    void ScheduleReconnect(std::chrono::milliseconds wait);
    // A user's choice (a station on either grid or engine, Play, Stop) ends the automatic retries.
    void CancelPendingReconnect();

    // Start-up operations of the engine, settings and hot keys, in the order the sequence calls them.
    void RegisterHotKeys();
    void ReleaseHotKeys();
    void WMHotKey(int id); // a global hot key was pressed
    void LoadAudioAddOns();
    bool InitAudioEngine();
    void FreeAudioEngine();
    void ResetAudioEngine();
    void LoadSettings();
    void ReopenLastStation();
    void ConfigureEngine();
    void LoadEqualizer();
    void AttachEffectChain();
    void SetStreamVolume(float volume);
    void HandOverNetworkTexts(bool withProxy);

    // Chrome, settings, update, import.
    void Image4Click();
    void Image5Click();
    void Image7Click();
    void RxLabel1Click();
    void Timer1Timer();
    void Button1Click();
    void RxTrayIcon1Click();
    void PopupMenu1Popup();
    void N1Click();
    void N7Click();

    // Text shown in an error box when a start-up step failed; empty when start-up completed.
    const QString& StartupError() const { return startupError_; }

signals:
    // For observers outside the window (the desktop's media controls): sound started or stopped on
    // either engine, and a logo grid was filled anew.
    void PlayingChanged(bool playing);
    void GridsFilled();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void CreateControls();
    void CreateTrayIcon();
    void BindEvents();
    void RunStartupSequence();

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

extern TForm1* Form1;

// Settings of the second media player for windows created from now on (tests use a silent output).
tembrik::mediaplayer::MediaPlayerConfig& MediaPlayerConfigForNewWindows();
