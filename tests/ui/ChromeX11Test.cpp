// Window chrome on a real X server with a window manager (openbox) and a tray host (trayer), driven
// by xdotool as a user would: dragging, the tray icon and its menu, the global hot keys while
// another client has the focus, the About window, and screenshots of the secondary windows.
#include "ProgramDirFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "ui/AboutWindow.h"
#include "ui/ErrorBox.h"
#include "ui/FindStations.h"
#include "ui/MainWindow.h"
#include "ui/OptionsWindow.h"
#include "ui/StationEditor.h"
#include "ui/UpdateNotice.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

constexpr int Wait = 20000; // ms; generous, the machine is shared
const QColor Desktop(0x12, 0x34, 0x56);

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(Wait);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}
void Xdo(const QStringList& args) {
    RunTool("xdotool", args);
}
void PressOn(const QPoint& global, int button) {
    Xdo({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y())});
    Xdo({"click", QString::number(button)});
}
// The window's place as the X server has it.
QPoint ScreenPos(QWidget* w) {
    const QString g = RunTool("xdotool", {"getwindowgeometry", "--shell", QString::number(w->winId())});
    auto value = [&](const char* key) {
        return g.section(QString(key) + "=", 1).section('\n', 0, 0).toInt();
    };
    return {value("X"), value("Y")};
}
QPoint Centre(const QWidget* w) {
    return w->mapToGlobal(w->rect().center());
}

// Another X client of this process: a connection of its own, so its key grabs are not ours.
class OtherClient {
public:
    OtherClient() : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~OtherClient() { xcb_disconnect(c_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;
    // Grabs Ctrl + Shift + the key; true when the server granted it.
    bool grab(const char* keysymName) {
        const QString code = RunTool(
            "sh", {"-c", QString("xmodmap -pke | awk '$4 == \"%1\" {print $2; exit}'").arg(keysymName)});
        const auto keycode = static_cast<xcb_keycode_t>(code.toInt());
        auto cookie = xcb_grab_key_checked(c_, 0, root_, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(c_, cookie);
        std::free(error);
        return keycode != 0 && error == nullptr;
    }

private:
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
};

class ChromeX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") {
            if (qgetenv("TEMBRIK_REQUIRE_FIXTURES") == "1")
                FAIL() << "no X display";
            GTEST_SKIP() << "no X display";
        }
        ResetPlayerState();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir_ = std::make_unique<ProgramDirFixture>("x11-" + name);
        SetMessageBoxHookForTesting([this](const QString& text, bool) { messages_ << text; });
        RunTool("xsetroot", {"-solid", Desktop.name()});
    }
    void TearDown() override {
        if (other_) {
            other_->kill();
            other_->waitForFinished(Wait);
        }
        about_.reset();
        updateNotice_.reset();
        editor_.reset();
        options_.reset();
        mainWindow_.reset();
        setNumLock(false);
        SetMessageBoxHookForTesting({});
        dir_.reset();
    }

    void start() {
        mainWindow_ = std::make_unique<MainWindow>();
        options_ = std::make_unique<OptionsWindow>();
        editor_ = std::make_unique<StationEditor>();
        updateNotice_ = std::make_unique<UpdateNotice>();
        about_ = std::make_unique<AboutWindow>();
        mainWindow_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow_.get(), Wait));
    }
    // Moved once shown: the update notice places itself whenever it is shown.
    void showAt(QWidget* w, QPoint at) {
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w, Wait));
        w->move(at);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->pos() == at; }, Wait));
    }
    // Gives the keyboard focus to a window of another program.
    void focusOtherProgram() {
        other_ = std::make_unique<QProcess>();
        other_->start("xmessage", {"-geometry", "+900+50", "-name", "tembrik-other", "another program"});
        QString id;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !(id = RunTool("xdotool", {"search", "--classname", "tembrik-other"})).isEmpty();
            },
            Wait));
        id = id.section('\n', 0, 0);
        Xdo({"windowactivate", "--sync", id});
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }, Wait));
    }
    static void setNumLock(bool on) {
        const bool isOn = RunTool("sh", {"-c", "xset q | grep -o 'Num Lock: *[a-z]*'"}).endsWith("on");
        if (isOn != on)
            Xdo({"key", "Num_Lock"});
    }
    static void hotKey(const char* key) { Xdo({"key", QString("ctrl+shift+") + key}); }
    static int calls(const char* prefix) {
        std::lock_guard l(DefaultTestAudio().mutex);
        const auto& c = DefaultTestAudio().calls;
        return static_cast<int>(
            std::count_if(c.begin(), c.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
    }
    int volume() const { return mainWindow_->volumeSlider->value(); }

    std::unique_ptr<ProgramDirFixture> dir_;
    std::unique_ptr<QProcess> other_;
    QStringList messages_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<OptionsWindow> options_;
    std::unique_ptr<StationEditor> editor_;
    std::unique_ptr<UpdateNotice> updateNotice_;
    std::unique_ptr<AboutWindow> about_;
};

struct DragArea {
    const char* name;
    QWidget* window;
    QWidget* area;
    QPoint at; // in the area
};

// Counts the presses the program has taken from the X server.
struct PressCounter : QObject {
    int presses = 0;
    PressCounter() { qApp->installEventFilter(this); }
    ~PressCounter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress && e->spontaneous())
            ++presses;
        return false;
    }
};

// Drags the area with the button by (60, 40): the window follows, and stays when the button is up.
void ExpectDragMoves(const DragArea& d, int button) {
    SCOPED_TRACE(std::string(d.name) + " button " + std::to_string(button));
    const QPoint start(100, 120);
    d.window->move(start);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window->pos() == start; }, Wait));
    const QPoint from = d.area->mapToGlobal(d.at);
    Xdo({"mousemove", "--sync", QString::number(from.x()), QString::number(from.y())});
    PressCounter counter;
    Xdo({"mousedown", QString::number(button)});
    // The pointer moves only once the program has handled the press, as a hand is slower than that.
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.presses > 0; }, Wait));
    QTest::qWait(200);
    Xdo({"mousemove", "--sync", QString::number(from.x() + 20), QString::number(from.y() + 10)});
    Xdo({"mousemove", "--sync", QString::number(from.x() + 60), QString::number(from.y() + 40)});
    // Where the X server has the window: a window manager may tell the program only at the end.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ScreenPos(d.window) == start + QPoint(60, 40); }, Wait))
        << "window at " << ScreenPos(d.window).x() << "," << ScreenPos(d.window).y();
    Xdo({"mouseup", QString::number(button)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.window->pos() == start + QPoint(60, 40); }, Wait));
    Xdo({"mousemove", "--sync", QString::number(from.x() + 200), QString::number(from.y() + 150)});
    QTest::qWait(500); // a window still following the pointer would move within this
    EXPECT_EQ(d.window->pos(), start + QPoint(60, 40)) << "the window went on following after release";
}

} // namespace

TEST_F(ChromeX11, EveryWindowMovesByItsDragAreasWithAnyButton) {
    start();
    const DragArea main[] = {
        {"main background", mainWindow_.get(), mainWindow_->background, {180, 40}},
        {"main station title", mainWindow_.get(), mainWindow_->stationTitle, {20, 10}},
    };
    for (const DragArea& d : main) {
        mainWindow_->raise();
        for (int button : {1, 2, 3})
            ExpectDragMoves(d, button);
    }
    const DragArea secondary[] = {
        {"Options background", options_.get(), options_->background, {200, 18}},
        {"Options title", options_.get(), options_->titleLabel, {10, 8}},
        {"Options icon", options_.get(), options_->windowIcon, {8, 8}},
        {"Editor background", editor_.get(), editor_->background, {300, 20}},
        {"Editor title", editor_.get(), editor_->titleLabel, {10, 8}},
        {"Update background", updateNotice_.get(), updateNotice_->background, {15, 60}},
        {"Update message", updateNotice_.get(), updateNotice_->messageLabel, {20, 10}},
        {"About background", about_.get(), about_->background, {60, 100}},
    };
    for (const DragArea& d : secondary) {
        // One at a time, so no other window of ours lies over the drag area.
        showAt(d.window, {100, 120});
        for (int button : {1, 3})
            ExpectDragMoves(d, button);
        d.window->hide();
    }
}

TEST_F(ChromeX11, TrayIconShowsTheWindowAndItsMenuFollowsMute) {
    start();
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, Wait));
    ASSERT_TRUE(mainWindow_->trayIcon->isVisible());
    PressOn(Centre(mainWindow_->minimizeIcon), 1); // "Minimize to tray" before any station
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mainWindow_->isVisible(); }, Wait));
    EXPECT_TRUE(mainWindow_->trayIcon->isVisible());
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Tembrik - Free Radio Gadget!");

    // The icon sits in trayer's panel.
    QRect icon;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(icon = mainWindow_->trayIcon->geometry()).isEmpty(); }, Wait));
    const QString panel = RunTool("xdotool", {"search", "--name", "^panel$"}).section('\n', 0, 0);
    const QString geometry = RunTool("xdotool", {"getwindowgeometry", "--shell", panel});
    auto value = [&](const char* key) {
        return geometry.section(QString(key) + "=", 1).section('\n', 0, 0).toInt();
    };
    const QRect panelRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
    EXPECT_TRUE(panelRect.contains(icon)) << "icon outside trayer's panel";

    PressOn(icon.center(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainWindow_->isVisible(); }, Wait));
    EXPECT_TRUE(mainWindow_->trayIcon->isVisible()); // a left click leaves the icon

    QMenu* menu = mainWindow_->trayMenu;
    auto openMenu = [&] {
        PressOn(icon.center(), 3);
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, Wait));
        return mainWindow_->muteItem->text();
    };
    auto chooseItem = [&](QAction* item) {
        PressOn(menu->mapToGlobal(menu->actionGeometry(item).center()), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, Wait));
    };
    EXPECT_EQ(openMenu(), "Mute On");
    Xdo({"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, Wait));
    mainWindow_->toggleMute();
    EXPECT_EQ(openMenu(), "Mute Off");
    chooseItem(mainWindow_->muteItem); // unmutes
    EXPECT_TRUE(QTest::qWaitFor([&] { return mainWindow_->muteIcon->hint() == "Mute On"; }, Wait));
    EXPECT_EQ(openMenu(), "Mute On");

    // "Open" shows the window and takes the icon away until the next hide.
    mainWindow_->hide();
    chooseItem(mainWindow_->openItem);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return mainWindow_->isVisible() && !mainWindow_->trayIcon->isVisible(); }, Wait));
    mainWindow_->stationTitle->setCaption("Станция");
    PressOn(Centre(mainWindow_->minimizeIcon), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mainWindow_->isVisible(); }, Wait));
    EXPECT_TRUE(mainWindow_->trayIcon->isVisible());
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Станция");
}

class HotKeysX11 : public ChromeX11, public ::testing::WithParamInterface<bool> {};

TEST_P(HotKeysX11, WorkWhileAnotherProgramHasTheFocus) {
    setNumLock(GetParam());
    start();
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
    focusOtherProgram();

    mainWindow_->volumeSlider->setValue(99);
    hotKey("F9");
    ASSERT_TRUE(QTest::qWaitFor([&] { return volume() == 100; }, Wait));
    const int applied = calls("volume");
    hotKey("F9"); // at the top: nothing
    hotKey("F8");
    ASSERT_TRUE(QTest::qWaitFor([&] { return volume() == 99; }, Wait));
    EXPECT_EQ(calls("volume"), applied + 1);

    mainWindow_->volumeSlider->setValue(1);
    hotKey("F8");
    hotKey("F8"); // at the bottom: nothing
    hotKey("F9");
    ASSERT_TRUE(QTest::qWaitFor([&] { return volume() == 1 && calls("volume") >= applied + 4; }, Wait));
    EXPECT_EQ(calls("volume"), applied + 4);

    // Play runs with no station chosen, although its button is disabled.
    ASSERT_FALSE(mainWindow_->playButton->isEnabled());
    const int opens = calls("open");
    hotKey("F10");
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls("open") > opens; }, Wait));
    const int stops = calls("stop");
    hotKey("F12");
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls("stop") > stops; }, Wait));

    hotKey("F5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mainWindow_->isVisible(); }, Wait));
    EXPECT_TRUE(mainWindow_->trayIcon->isVisible());
    hotKey("F5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return mainWindow_->isVisible(); }, Wait));
    EXPECT_TRUE(mainWindow_->trayIcon->isVisible()); // showing by the key leaves the icon
}

TEST_P(HotKeysX11, ActWhileAModalWindowOfOursIsOpen) {
    setNumLock(GetParam());
    start();
    mainWindow_->volumeSlider->setValue(50);
    bool acted = false;
    QTimer::singleShot(0, [&] {
        hotKey("F9");
        acted = QTest::qWaitFor([&] { return volume() == 51; }, Wait);
        about_->onCloseMarkClicked();
    });
    mainWindow_->openAbout();
    EXPECT_TRUE(acted);
}

INSTANTIATE_TEST_SUITE_P(NumLock, HotKeysX11, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "NumLockOn" : "NumLockOff";
                         });

TEST_F(ChromeX11, KeyHeldByAnotherProgramGivesOneBoxAndTheOthersWork) {
    OtherClient other;
    ASSERT_TRUE(other.grab("F11"));
    start();
    ASSERT_EQ(messages_.size(), 1) << messages_.join('\n').toStdString();
    EXPECT_TRUE(messages_[0].contains("Ctrl + Shift + F11")) << messages_[0].toStdString();
    focusOtherProgram();

    mainWindow_->volumeSlider->setValue(50);
    hotKey("F9");
    hotKey("F9");
    hotKey("F8");
    ASSERT_TRUE(QTest::qWaitFor([&] { return volume() == 51 && calls("volume") >= 3; }, Wait));
    const int opens = calls("open");
    hotKey("F10");
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls("open") > opens; }, Wait));
    const int stops = calls("stop");
    hotKey("F12");
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls("stop") > stops; }, Wait));

    // Ours while the program runs, free again once the main window has closed.
    EXPECT_FALSE(other.grab("F9"));
    mainWindow_->close();
    EXPECT_TRUE(other.grab("F9"));
}

// Each secondary window over the plain desktop: the lime corners show the desktop, the rest is the
// window's own picture, and the controls of its layout are drawn at their places.
TEST_F(ChromeX11, SecondaryWindowScreenshots) {
    start();
    mainWindow_->hide();
    ShowFindStations(mainWindow_.get());
    auto* find = mainWindow_->findChild<FindStationsWindow*>();
    ASSERT_NE(find, nullptr);
    find->hide();
    struct Shot {
        QWidget* window;
        const char* file;
        QPoint window_point_opaque;
        QList<QWidget*> controls;
    };
    const Shot shots[] = {
        {options_.get(), "options-window.png", {150, 200}, {}},
        {editor_.get(),
         "editor-window.png",
         {250, 100},
         {editor_->titleEdit, editor_->urlEdit, editor_->saveButton}},
        {updateNotice_.get(), "update-window.png", {150, 60}, {}},
        {about_.get(),
         "about-window.png",
         {150, 100},
         {about_->hotKeyList, about_->siteButton, about_->versionLabel}},
        {find,
         "find-window.png",
         {250, 200},
         {find->searchField, find->searchEdit, find->listenButton, find->addButton}},
    };
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.file);
        showAt(s.window, {200, 200});
        s.window->raise();
        QTest::qWait(300); // let the window manager and the window finish drawing
        QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, 200, 200, s.window->width(), s.window->height())
                          .toImage();
        shot.save(QString(TEMBRIK_SCREENSHOT_DIR "/") + s.file);
        EXPECT_EQ(QColor(shot.pixel(0, 0)), Desktop) << "top-left corner is not see-through";
        EXPECT_EQ(QColor(shot.pixel(shot.width() - 1, shot.height() - 1)), Desktop);
        EXPECT_NE(QColor(shot.pixel(s.window_point_opaque)), Desktop);
        for (QWidget* c : s.controls) {
            const QRect r = c->geometry();
            // A drawn control is not one flat colour.
            const QImage part = shot.copy(r);
            bool varied = false;
            for (int y = 0; y < part.height() && !varied; ++y)
                for (int x = 0; x < part.width() && !varied; ++x)
                    varied = part.pixel(x, y) != part.pixel(0, 0);
            EXPECT_TRUE(varied) << c->objectName().toStdString();
        }
        s.window->hide();
    }
}
