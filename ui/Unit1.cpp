#include "Unit1.h"

#include "ErrorBox.h"
#include "FindStations.h"
#include "SkinnedWindow.h"
#include "Unit5.h"
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

TForm1* Form1 = nullptr;

tembrik::mediaplayer::MediaPlayerConfig& MediaPlayerConfigForNewWindows() {
    static tembrik::mediaplayer::MediaPlayerConfig config = [] {
        tembrik::mediaplayer::MediaPlayerConfig c;
        c.initialVolume = 50;
        return c;
    }();
    return config;
}

namespace {

ShadowLabel* MakeLabel(QWidget* parent, const char* name, QRect place, const QString& caption, QFont font,
                       const QString& hint, bool handCursor) {
    auto* l = new ShadowLabel(parent);
    l->setObjectName(name);
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

ImageControl* MakeImage(QWidget* parent, const char* name, QRect place, const char* picture,
                        const QString& hint) {
    auto* i = new ImageControl(parent);
    i->setObjectName(name);
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

QPushButton* MakePictureButton(QWidget* parent, const char* name, QRect place, const char* glyph,
                               const QString& hint, bool showHint) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
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

QPushButton* MakeHiddenButton(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(place);
    b->hide();
    return b;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), reconnect_(std::make_unique<playback::ReconnectPolicy>()) {
    setObjectName("Form1");
    Form1 = this;
    CreateControls();
    CreateTrayIcon();
    BindEvents();
    FormCreate();
}

TForm1::~TForm1() {
    FormDestroy();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CreateControls() {
    Image1 = SetUpSkinnedWindow(this, QSize(501, 373), "Tembrik Dave 2.1", "main-background.png");
    Image1->setCursor(Qt::ArrowCursor);
    move(338, 204);
    setPalette(QApplication::palette());

    const QFont gothic12 = ProgramFont(FontFace::Gothic, 12);
    RxLabel2 = MakeLabel(this, "RxLabel2", {17, 350, 98, 17}, "RADIO STATIONS", gothic12,
                         "All Radio Stations", true);
    RxLabel2->setShadowColor(Qt::white);
    RxLabel3 = MakeLabel(this, "RxLabel3", {201, 350, 72, 17}, "FAVOURITES", gothic12, "Favourites", true);
    Image2 = MakeImage(this, "Image2", {191, 52, 18, 17}, "vol.png", "Mute On");
    RxLabel5 = MakeLabel(this, "RxLabel5", {463, 50, 18, 20}, "25", ProgramFont(FontFace::Gothic, 15),
                         "Volume", false);
    RxLabel6 = MakeLabel(this, "RxLabel6", {39, 9, 332, 23}, "Tembrik - Free Radio Gadget!",
                         ProgramFont(FontFace::Gothic, 20, true), QString(), false);
    Image3 = MakeImage(this, "Image3", {8, 10, 30, 31}, "notfav.png", "Add to Favourites");
    Image4 = MakeImage(this, "Image4", {456, 3, 33, 31}, "close.png", "Close Tembrik");
    Image5 = MakeImage(this, "Image5", {420, 3, 33, 31}, "minimize.png", "Minimize to tray");
    RxLabel1 = MakeLabel(this, "RxLabel1", {328, 350, 107, 17}, "tembrik.radio",
                         ProgramFont(FontFace::Gothic, 13), QString(), true);
    RxLabel1->setAccessibleDescription("Opens the product site");
    Image6 = MakeImage(this, "Image6", {475, 350, 17, 18}, "info.png", "Tembrik Dave\nHotKeys information");
    Image7 = MakeImage(this, "Image7", {456, 350, 17, 17}, "options.png", "Options");
    Image8 = MakeImage(this, "Image8", {439, 350, 16, 18}, "edit.png", "Edit Radio Station");
    RxLabel7 = MakeLabel(this, "RxLabel7", {40, 31, 91, 16}, "Tembrik Dave 2.5",
                         ProgramFont(FontFace::Narrow, 12), QString(), true);

    sTrackBar1 = new SkinSlider(Qt::Horizontal, 26, this);
    sTrackBar1->setObjectName("sTrackBar1");
    sTrackBar1->setGeometry(207, 44, 256, 28);
    sTrackBar1->setRange(0, 100);
    sTrackBar1->setValue(25);
    sTrackBar1->setToolTip("Volume");
    sTrackBar1->setAccessibleName("Volume");

    sBitBtn2 = MakePictureButton(this, "sBitBtn2", {10, 49, 53, 23}, "play.png", "Play", true);
    sBitBtn1 = MakePictureButton(this, "sBitBtn1", {67, 49, 52, 23}, "record.png", "Record", false);
    sBitBtn3 = MakePictureButton(this, "sBitBtn3", {123, 49, 52, 23}, "stop.png", "Stop", true);

    NextGrid1 = new LogoGrid(96, false, this);
    NextGrid1->setObjectName("NextGrid1");
    NextGrid1->setAccessibleName("Radio stations");
    NextGrid1->setGeometry(9, 77, 482, 268);
    NextGrid2 = new LogoGrid(93, true, this);
    NextGrid2->setObjectName("NextGrid2");
    NextGrid2->setAccessibleName("Favourites");
    NextGrid2->setGeometry(9, 77, 482, 268);
    NextGrid2->hide();

    Button1 = MakeHiddenButton(this, "Button1", "<>", {133, 347, 22, 16});
    Button2 = MakeHiddenButton(this, "Button2", "||", {120, 347, 14, 16});
    Button3 = MakeHiddenButton(this, "Button3", "Button3", {0, 0, 75, 25});

    // Home of the second media player's control; never shown.
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(505, 70, 100, 50);
    Panel1->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(10000);
    Timer1->setSingleShot(true);
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(5500);
    Timer2->setSingleShot(true);
}

void TForm1::CreateTrayIcon() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto item = [this](const char* name, const QString& caption, const char* picture) {
        QAction* a = PopupMenu1->addAction(caption);
        a->setObjectName(name);
        if (picture) {
            try {
                a->setIcon(QIcon(LoadProgramPicture(picture)));
            } catch (const std::exception&) {
                // An item without its picture still works.
            }
        }
        return a;
    };
    auto separator = [this](const char* name) {
        QAction* a = PopupMenu1->addSeparator();
        a->setObjectName(name);
        return a;
    };
    N1 = item("N1", "&Открыть Тембрик", nullptr);
    N6 = separator("N6");
    N2 = item("N2", "&Включить радиостанцию", "menu-play.png");
    Stop1 = item("Stop1", "В&ыключить радиостанцию", "menu-stop.png");
    N3 = item("N3", "Выключить звук", "menu-mute.png");
    N8 = separator("N8");
    N9 = item("N9", "Настройка...", "menu-options.png");
    connect(item("FindStations1", "Найти радиостанции...", nullptr), &QAction::triggered, this,
            [this] { ShowFindStations(this); });
    N7 = item("N7", "Онлайн справка (FAQ)", "menu-help.png");
    N5 = separator("N5");
    N4 = item("N4", "&Выход", "menu-exit.png");

    RxTrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
    RxTrayIcon1->setObjectName("RxTrayIcon1");
    RxTrayIcon1->setToolTip("Тембрик Zedu");
    RxTrayIcon1->setContextMenu(PopupMenu1);
    RxTrayIcon1->show();
}

void TForm1::BindEvents() {
    connect(Image1, &ImageControl::pressedAt, this, &TForm1::Image1MouseDown);
    connect(Image1, &ImageControl::doubleClicked, this, &TForm1::Image1DblClick);
    connect(RxLabel6, &ShadowLabel::pressed, this, &TForm1::RxLabel6MouseDown);
    connect(RxLabel2, &ShadowLabel::clicked, this, &TForm1::RxLabel2Click);
    connect(RxLabel3, &ShadowLabel::clicked, this, &TForm1::RxLabel3Click);
    connect(RxLabel1, &ShadowLabel::clicked, this, &TForm1::RxLabel1Click);
    connect(RxLabel7, &ShadowLabel::pressed, this, &TForm1::RxLabel7MouseDown);
    connect(RxLabel7, &ShadowLabel::entered, this, &TForm1::RxLabel7MouseEnter);
    connect(RxLabel7, &ShadowLabel::left, this, &TForm1::RxLabel7MouseLeave);
    connect(Image2, &ImageControl::clicked, this, &TForm1::Image2Click);
    connect(Image3, &ImageControl::clicked, this, &TForm1::Image3Click);
    connect(Image4, &ImageControl::clicked, this, &TForm1::Image4Click);
    connect(Image5, &ImageControl::clicked, this, &TForm1::Image5Click);
    connect(Image6, &ImageControl::clicked, this, &TForm1::Image6Click);
    connect(Image7, &ImageControl::clicked, this, &TForm1::Image7Click);
    connect(Image8, &ImageControl::clicked, this, &TForm1::Image8Click);
    connect(sTrackBar1, &QSlider::valueChanged, this, &TForm1::sTrackBar1Change);
    connect(sBitBtn1, &QPushButton::clicked, this, &TForm1::sBitBtn1Click);
    connect(sBitBtn2, &QPushButton::clicked, this, &TForm1::sBitBtn2Click);
    connect(sBitBtn3, &QPushButton::clicked, this, &TForm1::sBitBtn3Click);
    connect(NextGrid1, &LogoGrid::cellSelected, this, &TForm1::NextGrid1SelectCell);
    connect(NextGrid2, &LogoGrid::cellSelected, this, &TForm1::NextGrid2SelectCell);
    connect(NextGrid1, &LogoGrid::mouseEntered, this, &TForm1::NextGrid1MouseEnter);
    connect(NextGrid2, &LogoGrid::mouseEntered, this, &TForm1::NextGrid2MouseEnter);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    // The hidden import button has no place on the skin; this key reaches it.
    connect(new QShortcut(QKeySequence("Ctrl+Shift+I"), this), &QShortcut::activated, Button1,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence("Ctrl+F"), this), &QShortcut::activated, this,
            [this] { ShowFindStations(this); });
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            RxTrayIcon1Click();
    });
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::PopupMenu1Popup);
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(Stop1, &QAction::triggered, this, &TForm1::Stop1Click);
    connect(N3, &QAction::triggered, this, &TForm1::N3Click);
    connect(N9, &QAction::triggered, this, &TForm1::N9Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
}

void TForm1::FormCreate() {
    try {
        RunStartupSequence();
    } catch (const std::exception& e) {
        // The rest of the sequence is skipped; what ran before stays done and the program goes on.
        startupError_ = QString::fromUtf8(e.what());
        ShowErrorBox(startupError_);
    }
}

void TForm1::FormClose() {
    ReleaseHotKeys();
}

void TForm1::FormDestroy() {
    FreeAudioEngine();
}

bool TForm1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TForm1::closeEvent(QCloseEvent* e) {
    FormClose();
    e->accept();
    // The main window ends the program however it is closed.
    QApplication::quit();
}

void TForm1::mousePressEvent(QMouseEvent* e) {
    FormMouseDown(e);
}
void TForm1::FormMouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm1::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm1::RxLabel6MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm1::Image1DblClick() {}

void TForm1::N2Click() {
    sBitBtn2Click();
}
void TForm1::Stop1Click() {
    sBitBtn3Click();
}
void TForm1::N3Click() {
    Image2Click();
}
void TForm1::N9Click() {
    Image7Click();
}
void TForm1::N4Click() {
    Image4Click();
}
void TForm1::Image6Click() {
    if (Form5)
        Form5->ShowModal();
}
void TForm1::NextGrid1MouseEnter() {
    NextGrid1->setFocus(Qt::MouseFocusReason);
}
void TForm1::NextGrid2MouseEnter() {
    NextGrid2->setFocus(Qt::MouseFocusReason);
}

tembrik::mediaplayer::MediaPlayer& TForm1::WindowsMediaPlayer() {
    if (!WindowsMediaPlayer1) {
        auto config = MediaPlayerConfigForNewWindows();
        config.initialVolume = mediaPlayerVolume_;
        WindowsMediaPlayer1 = new tembrik::mediaplayer::MediaPlayer(config, Panel1);
        WindowsMediaPlayer1->setObjectName("WindowsMediaPlayer1");
        connect(WindowsMediaPlayer1, &tembrik::mediaplayer::MediaPlayer::statusChanged, this,
                &TForm1::WindowsMediaPlayer1StatusChange);
    }
    return *WindowsMediaPlayer1;
}
