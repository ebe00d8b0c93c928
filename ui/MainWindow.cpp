#include "MainWindow.h"

#include "AboutWindow.h"
#include "ErrorBox.h"
#include "FindStations.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"
#include "widgets/LogoGrid.h"
#include "widgets/ShadowLabel.h"
#include "widgets/SkinSlider.h"

#include "app/PlayerState.h"
#include "playback/ReconnectPolicy.h"
#include "tembrik/mediaplayer/MediaPlayer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>

MainWindow* theMainWindow = nullptr;

tembrik::mediaplayer::MediaPlayerConfig& MediaPlayerConfigForNewWindows() {
    static tembrik::mediaplayer::MediaPlayerConfig config = [] {
        tembrik::mediaplayer::MediaPlayerConfig c;
        c.initialVolume = 50;
        return c;
    }();
    return config;
}

namespace {

ShadowLabel* MakeLabel(QWidget* parent, QRect place, const QString& caption, QFont font, const QString& hint,
                       bool handCursor) {
    auto* l = new ShadowLabel(parent);
    l->setFont(font);
    l->move(place.topLeft());
    l->resize(place.size());
    l->setCaption(caption);
    if (!hint.isEmpty())
        l->setToolTip(hint);
    if (handCursor)
        l->setCursor(Qt::PointingHandCursor);
    return l;
}

ImageControl* MakeImage(QWidget* parent, QRect place, const char* picture, const QString& hint) {
    auto* i = new ImageControl(parent);
    i->setGeometry(place);
    i->setCursor(Qt::PointingHandCursor);
    i->setHint(hint);
    try {
        i->setPicture(LoadProgramPicture(picture));
    } catch (const std::exception&) {
        // A missing picture leaves an invisible click area; the control still works.
    }
    return i;
}

QPushButton* MakePictureButton(QWidget* parent, QRect place, const char* glyph, const QString& hint,
                               bool showHint) {
    auto* b = new QPushButton(parent);
    b->setGeometry(place);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    try {
        b->setIcon(QIcon(LoadProgramPicture(glyph)));
    } catch (const std::exception&) {
        b->setText(hint);
    }
    b->setIconSize(QSize(16, 16));
    b->setAccessibleName(hint);
    if (showHint)
        b->setToolTip(hint);
    b->setEnabled(false);
    return b;
}

QPushButton* MakeHiddenButton(QWidget* parent, const QString& caption, QRect place) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(place);
    b->hide();
    return b;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent), reconnect_(std::make_unique<playback::ReconnectPolicy>()) {
    setObjectName("Form1");
    theMainWindow = this;
    createControls();
    createTrayIcon();
    bindEvents();
    startUp();
}

MainWindow::~MainWindow() {
    tearDown();
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

void MainWindow::createControls() {
    background = SetUpSkinnedWindow(this, QSize(501, 373), "Tembrik Dave 2.1", "main-background.png");
    background->setCursor(Qt::ArrowCursor);
    move(338, 204);
    setPalette(QApplication::palette());

    const QFont gothic12 = ProgramFont(FontFace::Gothic, 12);
    allStationsLink =
        MakeLabel(this, {17, 350, 98, 17}, "RADIO STATIONS", gothic12, "All Radio Stations", true);
    allStationsLink->setObjectName("RxLabel2");
    allStationsLink->setShadowColor(Qt::white);
    favouritesLink = MakeLabel(this, {201, 350, 72, 17}, "FAVOURITES", gothic12, "Favourites", true);
    favouritesLink->setObjectName("RxLabel3");
    muteIcon = MakeImage(this, {191, 52, 18, 17}, "vol.png", "Mute On");
    muteIcon->setObjectName("Image2");
    volumeLabel =
        MakeLabel(this, {463, 50, 18, 20}, "25", ProgramFont(FontFace::Gothic, 15), "Volume", false);
    volumeLabel->setObjectName("RxLabel5");
    stationTitle = MakeLabel(this, {39, 9, 332, 23}, "Tembrik - Free Radio Gadget!",
                             ProgramFont(FontFace::Gothic, 20, true), QString(), false);
    stationTitle->setObjectName("RxLabel6");
    favouriteStar = MakeImage(this, {8, 10, 30, 31}, "notfav.png", "Add to Favourites");
    favouriteStar->setObjectName("Image3");
    closeIcon = MakeImage(this, {456, 3, 33, 31}, "close.png", "Close Tembrik");
    closeIcon->setObjectName("Image4");
    minimizeIcon = MakeImage(this, {420, 3, 33, 31}, "minimize.png", "Minimize to tray");
    minimizeIcon->setObjectName("Image5");
    siteLink = MakeLabel(this, {328, 350, 107, 17}, "tembrik.radio", ProgramFont(FontFace::Gothic, 13),
                         QString(), true);
    siteLink->setObjectName("RxLabel1");
    siteLink->setAccessibleDescription("Opens the product site");
    aboutIcon = MakeImage(this, {475, 350, 17, 18}, "info.png", "Tembrik Dave\nHotKeys information");
    aboutIcon->setObjectName("Image6");
    optionsIcon = MakeImage(this, {456, 350, 17, 17}, "options.png", "Options");
    optionsIcon->setObjectName("Image7");
    editIcon = MakeImage(this, {439, 350, 16, 18}, "edit.png", "Edit Radio Station");
    editIcon->setObjectName("Image8");
    nowPlaying = MakeLabel(this, {40, 31, 91, 16}, "Tembrik Dave 2.5", ProgramFont(FontFace::Narrow, 12),
                           QString(), true);
    nowPlaying->setObjectName("RxLabel7");

    volumeSlider = new SkinSlider(Qt::Horizontal, 26, this);
    volumeSlider->setObjectName("sTrackBar1");
    volumeSlider->setGeometry(207, 44, 256, 28);
    volumeSlider->setRange(0, 100);
    volumeSlider->setValue(25);
    volumeSlider->setToolTip("Volume");
    volumeSlider->setAccessibleName("Volume");

    playButton = MakePictureButton(this, {10, 49, 53, 23}, "play.png", "Play", true);
    playButton->setObjectName("sBitBtn2");
    recordButton = MakePictureButton(this, {67, 49, 52, 23}, "record.png", "Record", false);
    recordButton->setObjectName("sBitBtn1");
    stopButton = MakePictureButton(this, {123, 49, 52, 23}, "stop.png", "Stop", true);
    stopButton->setObjectName("sBitBtn3");

    stationGrid = new LogoGrid(96, false, this);
    stationGrid->setObjectName("NextGrid1");
    stationGrid->setAccessibleName("Radio stations");
    stationGrid->setGeometry(9, 77, 482, 268);
    favouritesGrid = new LogoGrid(93, true, this);
    favouritesGrid->setObjectName("NextGrid2");
    favouritesGrid->setAccessibleName("Favourites");
    favouritesGrid->setGeometry(9, 77, 482, 268);
    favouritesGrid->hide();

    importButton = MakeHiddenButton(this, "<>", {133, 347, 22, 16});
    importButton->setObjectName("Button1");
    reloadButton = MakeHiddenButton(this, "||", {120, 347, 14, 16});
    reloadButton->setObjectName("Button2");
    connectButton = MakeHiddenButton(this, "Button3", {0, 0, 75, 25});
    connectButton->setObjectName("Button3");

    // Home of the second media player's control; never shown.
    playerHost = new QWidget(this);
    playerHost->setObjectName("Panel1");
    playerHost->setGeometry(505, 70, 100, 50);
    playerHost->hide();

    updateCheckTimer = new QTimer(this);
    updateCheckTimer->setObjectName("Timer1");
    updateCheckTimer->setInterval(10000);
    updateCheckTimer->setSingleShot(true);
    controlsReadyTimer = new QTimer(this);
    controlsReadyTimer->setObjectName("Timer2");
    controlsReadyTimer->setInterval(5500);
    controlsReadyTimer->setSingleShot(true);
}

void MainWindow::createTrayIcon() {
    trayMenu = new QMenu(this);
    trayMenu->setObjectName("PopupMenu1");
    auto item = [this](const QString& caption, const char* picture) {
        QAction* a = trayMenu->addAction(caption);
        if (picture) {
            try {
                a->setIcon(QIcon(LoadProgramPicture(picture)));
            } catch (const std::exception&) {
                // An item without its picture still works.
            }
        }
        return a;
    };
    auto separator = [this] { return trayMenu->addSeparator(); };
    openItem = item("&Открыть Тембрик", nullptr);
    openItem->setObjectName("N1");
    openSeparator = separator();
    openSeparator->setObjectName("N6");
    playItem = item("&Включить радиостанцию", "menu-play.png");
    playItem->setObjectName("N2");
    stopItem = item("В&ыключить радиостанцию", "menu-stop.png");
    stopItem->setObjectName("Stop1");
    muteItem = item("Выключить звук", "menu-mute.png");
    muteItem->setObjectName("N3");
    muteSeparator = separator();
    muteSeparator->setObjectName("N8");
    optionsItem = item("Настройка...", "menu-options.png");
    optionsItem->setObjectName("N9");
    QAction* findItem = item("Найти радиостанции...", nullptr);
    findItem->setObjectName("FindStations1");
    connect(findItem, &QAction::triggered, this, [this] { ShowFindStations(this); });
    helpItem = item("Онлайн справка (FAQ)", "menu-help.png");
    helpItem->setObjectName("N7");
    helpSeparator = separator();
    helpSeparator->setObjectName("N5");
    exitItem = item("&Выход", "menu-exit.png");
    exitItem->setObjectName("N4");

    trayIcon = new QSystemTrayIcon(windowIcon(), this);
    trayIcon->setObjectName("RxTrayIcon1");
    trayIcon->setToolTip("Тембрик Zedu");
    trayIcon->setContextMenu(trayMenu);
    trayIcon->show();
}

void MainWindow::bindEvents() {
    connect(background, &ImageControl::pressedAt, this, &MainWindow::dragByBackground);
    connect(background, &ImageControl::doubleClicked, this, &MainWindow::backgroundDoubleClicked);
    connect(stationTitle, &ShadowLabel::pressed, this, &MainWindow::dragByTitle);
    connect(allStationsLink, &ShadowLabel::clicked, this, &MainWindow::showAllStations);
    connect(favouritesLink, &ShadowLabel::clicked, this, &MainWindow::showFavourites);
    connect(siteLink, &ShadowLabel::clicked, this, &MainWindow::openProductSite);
    connect(nowPlaying, &ShadowLabel::pressed, this, &MainWindow::copyNowPlaying);
    connect(nowPlaying, &ShadowLabel::entered, this, &MainWindow::underlineNowPlaying);
    connect(nowPlaying, &ShadowLabel::left, this, &MainWindow::plainNowPlaying);
    connect(muteIcon, &ImageControl::clicked, this, &MainWindow::toggleMute);
    connect(favouriteStar, &ImageControl::clicked, this, &MainWindow::toggleFavourite);
    connect(closeIcon, &ImageControl::clicked, this, &MainWindow::closeProgram);
    connect(minimizeIcon, &ImageControl::clicked, this, &MainWindow::hideToTray);
    connect(aboutIcon, &ImageControl::clicked, this, &MainWindow::openAbout);
    connect(optionsIcon, &ImageControl::clicked, this, &MainWindow::openOptions);
    connect(editIcon, &ImageControl::clicked, this, &MainWindow::openStationEditor);
    connect(volumeSlider, &QSlider::valueChanged, this, &MainWindow::volumeChanged);
    connect(recordButton, &QPushButton::clicked, this, &MainWindow::onRecordClicked);
    connect(playButton, &QPushButton::clicked, this, &MainWindow::onPlayClicked);
    connect(stopButton, &QPushButton::clicked, this, &MainWindow::onStopClicked);
    connect(stationGrid, &LogoGrid::cellSelected, this, &MainWindow::stationCellSelected);
    connect(favouritesGrid, &LogoGrid::cellSelected, this, &MainWindow::favouriteCellSelected);
    connect(stationGrid, &LogoGrid::mouseEntered, this, &MainWindow::focusStationGrid);
    connect(favouritesGrid, &LogoGrid::mouseEntered, this, &MainWindow::focusFavouritesGrid);
    connect(importButton, &QPushButton::clicked, this, &MainWindow::importCatalogue);
    // The hidden import button has no place on the skin; this key reaches it.
    connect(new QShortcut(QKeySequence("Ctrl+Shift+I"), this), &QShortcut::activated, importButton,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence("Ctrl+F"), this), &QShortcut::activated, this,
            [this] { ShowFindStations(this); });
    connect(reloadButton, &QPushButton::clicked, this, &MainWindow::reloadStations);
    connect(connectButton, &QPushButton::clicked, this, &MainWindow::connectCurrentStation);
    connect(updateCheckTimer, &QTimer::timeout, this, &MainWindow::checkForUpdate);
    connect(controlsReadyTimer, &QTimer::timeout, this, &MainWindow::controlsReadyTimeout);
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            showFromTray();
    });
    connect(trayMenu, &QMenu::aboutToShow, this, &MainWindow::trayMenuAboutToShow);
    connect(openItem, &QAction::triggered, this, &MainWindow::openFromTray);
    connect(playItem, &QAction::triggered, this, &MainWindow::playFromTray);
    connect(stopItem, &QAction::triggered, this, &MainWindow::stopFromTray);
    connect(muteItem, &QAction::triggered, this, &MainWindow::muteFromTray);
    connect(optionsItem, &QAction::triggered, this, &MainWindow::optionsFromTray);
    connect(helpItem, &QAction::triggered, this, &MainWindow::openFaq);
    connect(exitItem, &QAction::triggered, this, &MainWindow::exitFromTray);
}

void MainWindow::startUp() {
    try {
        runStartupSequence();
    } catch (const std::exception& e) {
        // The rest of the sequence is skipped; what ran before stays done and the program goes on.
        startupError_ = QString::fromUtf8(e.what());
        ShowErrorBox(startupError_);
    }
}

void MainWindow::windowClosing() {
    releaseHotKeys();
}

void MainWindow::tearDown() {
    freeAudioEngine();
}

bool MainWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        windowActivated();
    return QWidget::event(e);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    windowClosing();
    e->accept();
    // The main window ends the program however it is closed.
    QApplication::quit();
}

void MainWindow::mousePressEvent(QMouseEvent* e) {
    dragByWindow(e);
}
void MainWindow::dragByWindow(QMouseEvent* e) {
    DragWindow(this, e);
}
void MainWindow::dragByBackground(QMouseEvent* e) {
    DragWindow(this, e);
}
void MainWindow::dragByTitle(QMouseEvent* e) {
    DragWindow(this, e);
}
void MainWindow::backgroundDoubleClicked() {}

void MainWindow::playFromTray() {
    onPlayClicked();
}
void MainWindow::stopFromTray() {
    onStopClicked();
}
void MainWindow::muteFromTray() {
    toggleMute();
}
void MainWindow::optionsFromTray() {
    openOptions();
}
void MainWindow::exitFromTray() {
    closeProgram();
}
void MainWindow::openAbout() {
    if (theAboutWindow)
        theAboutWindow->showModal();
}
void MainWindow::focusStationGrid() {
    stationGrid->setFocus(Qt::MouseFocusReason);
}
void MainWindow::focusFavouritesGrid() {
    favouritesGrid->setFocus(Qt::MouseFocusReason);
}

tembrik::mediaplayer::MediaPlayer& MainWindow::ensureSecondPlayer() {
    if (!secondPlayer) {
        auto config = MediaPlayerConfigForNewWindows();
        config.initialVolume = mediaPlayerVolume_;
        secondPlayer = new tembrik::mediaplayer::MediaPlayer(config, playerHost);
        secondPlayer->setObjectName("WindowsMediaPlayer1");
        connect(secondPlayer, &tembrik::mediaplayer::MediaPlayer::statusChanged, this,
                &MainWindow::secondPlayerStatusChanged);
    }
    return *secondPlayer;
}
