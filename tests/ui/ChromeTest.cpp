// Window chrome off-screen: the volume keys, the tray menu and hiding without a tray host, the links
// to the product site, the About window's contents, and the manual move where the window system
// offers no move of its own (the off-screen platform offers none).
#include "StationWindowFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "ui/AboutWindow.h"
#include "ui/FindStations.h"
#include "ui/OptionsWindow.h"
#include "ui/ProductSite.h"
#include "ui/SkinnedWindow.h"
#include "ui/UpdateNotice.h"
#include "ui/VolumeKeyFilter.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace {

// Records the addresses the program asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        QDesktopServices::setUrlHandler("http", this, "open");
        QDesktopServices::setUrlHandler("https", this, "open");
    }
    ~UrlRecorder() override {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("https");
    }
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

class ChromeTest : public StationWindowFixture {
protected:
    void SetUp() override {
        StationWindowFixture::SetUp();
        qunsetenv("TEMBRIK_SITE");
    }
    void TearDown() override {
        about_.reset();
        options_.reset();
        StationWindowFixture::TearDown();
        qunsetenv("TEMBRIK_SITE");
    }
    void startAll() {
        start();
        options_ = std::make_unique<OptionsWindow>();
        about_ = std::make_unique<AboutWindow>();
        // The main window installs the volume keys when it is first activated.
        mainWindow_->activateWindow();
        mainWindow_->windowActivated();
    }
    int volumeCalls() const {
        std::lock_guard l(DefaultTestAudio().mutex);
        return static_cast<int>(
            std::count_if(DefaultTestAudio().calls.begin(), DefaultTestAudio().calls.end(),
                          [](const std::string& c) { return c.rfind("volume", 0) == 0; }));
    }
    std::unique_ptr<OptionsWindow> options_;
    std::unique_ptr<AboutWindow> about_;
};

} // namespace

TEST_F(ChromeTest, VolumeKeysStepByOneOrTenAndStopAtTheEnds) {
    layOutStations(1);
    startAll();
    const struct {
        int from;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int to;
    } cases[] = {
        {50, Qt::Key_Up, Qt::NoModifier, 51},
        {50, Qt::Key_Down, Qt::NoModifier, 49},
        {50, Qt::Key_Plus, Qt::KeypadModifier, 51},
        {50, Qt::Key_Minus, Qt::KeypadModifier, 49},
        {50, Qt::Key_Up, Qt::ShiftModifier, 60},
        {50, Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier, 40},
        {95, Qt::Key_Up, Qt::ShiftModifier, 100},
        {5, Qt::Key_Down, Qt::ShiftModifier, 0},
        {50, Qt::Key_Plus, Qt::NoModifier, 50}, // the main keyboard's signs are not volume keys
        {50, Qt::Key_Minus, Qt::NoModifier, 50},
        {50, Qt::Key_Left, Qt::NoModifier, 50},
    };
    for (const auto& c : cases) {
        mainWindow_->volumeSlider->setValue(c.from);
        QTest::keyClick(mainWindow_->stationGrid, c.key, c.mods);
        EXPECT_EQ(mainWindow_->volumeSlider->value(), c.to)
            << c.from << " key " << c.key << " mods " << c.mods;
    }
    // At the top nothing changes and no volume is applied again.
    mainWindow_->volumeSlider->setValue(100);
    const int before = volumeCalls();
    QTest::keyClick(mainWindow_->stationGrid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 100);
    EXPECT_EQ(volumeCalls(), before);
    EXPECT_EQ(mainWindow_->volumeLabel->text(), "100");
}

TEST_F(ChromeTest, VolumeKeysReachNoControl) {
    layOutStations(40);
    startAll();
    mainWindow_->volumeSlider->setValue(50);
    // The grid would scroll on the arrows, a slider would move, a text box would take the keypad signs.
    LogoGrid* grid = mainWindow_->stationGrid;
    grid->setFocus();
    const int scrolled = grid->verticalScrollBar()->value();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 48);

    // A slider in another window of the program, as the Options window's are.
    auto* other = new SkinSlider(Qt::Vertical, 10, options_.get());
    other->setRange(0, 20);
    other->setValue(10);
    options_->show();
    QTest::keyClick(other, Qt::Key_Up);
    QTest::keyClick(other, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(other->value(), 10);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 39);
    options_->hide();

    editor_->show();
    editor_->titleEdit->setText("");
    QTest::keyClick(editor_->titleEdit, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(editor_->titleEdit, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(editor_->titleEdit->text(), "");
    QTest::keyClicks(editor_->titleEdit, "a+b-c");
    EXPECT_EQ(editor_->titleEdit->text(), "a+b-c");
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 39);
}

TEST_F(ChromeTest, PopupMenuKeepsItsArrowKeys) {
    layOutStations(1);
    startAll();
    mainWindow_->volumeSlider->setValue(50);
    mainWindow_->trayMenu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainWindow_->trayMenu->isVisible(); }, 20000));
    QTest::keyClick(mainWindow_->trayMenu, Qt::Key_Down);
    EXPECT_EQ(mainWindow_->volumeSlider->value(), 50);
    EXPECT_NE(mainWindow_->trayMenu->activeAction(), nullptr);
    mainWindow_->trayMenu->hide();
}

TEST_F(ChromeTest, TrayMenuItemsInOrderWithTheirCaptionsAndPictures) {
    layOutStations(1);
    startAll();
    const struct {
        const char* name;
        const char* caption;
        bool separator;
        bool picture;
    } items[] = {
        {"N1", "&Открыть Тембрик", false, false},
        {"N6", "", true, false},
        {"N2", "&Включить радиостанцию", false, true},
        {"Stop1", "В&ыключить радиостанцию", false, true},
        {"N3", "Выключить звук", false, true},
        {"N8", "", true, false},
        {"N9", "Настройка...", false, true},
        {"FindStations1", "Найти радиостанции...", false, false},
        {"N7", "Онлайн справка (FAQ)", false, true},
        {"N5", "", true, false},
        {"N4", "&Выход", false, true},
    };
    const QList<QAction*> actions = mainWindow_->trayMenu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(items)));
    for (std::size_t i = 0; i < std::size(items); ++i) {
        QAction* a = actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(a->objectName(), items[i].name);
        EXPECT_EQ(a->isSeparator(), items[i].separator) << items[i].name;
        if (!items[i].separator) {
            EXPECT_EQ(a->text(), QString::fromUtf8(items[i].caption)) << items[i].name;
        }
        EXPECT_EQ(!a->icon().isNull(), items[i].picture) << items[i].name;
    }
}

TEST_F(ChromeTest, MuteItemFollowsTheMuteImagesHint) {
    layOutStations(1);
    startAll();
    QMenu* menu = mainWindow_->trayMenu;
    const auto openMenu = [&] {
        menu->popup(QPoint(100, 100));
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 20000));
        const QString caption = mainWindow_->muteItem->text();
        menu->hide();
        return caption;
    };
    EXPECT_EQ(openMenu(), "Mute On");
    mainWindow_->toggleMute();
    EXPECT_EQ(openMenu(), "Mute Off");
    mainWindow_->muteItem->trigger(); // unmutes
    EXPECT_EQ(mainWindow_->muteIcon->hint(), "Mute On");
    EXPECT_EQ(openMenu(), "Mute On");
}

TEST_F(ChromeTest, WithoutATrayHostHidingMinimisesAndTheWindowComesBack) {
    layOutStations(1);
    startAll();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()); // off-screen has no tray host
    mainWindow_->hideToTray();
    EXPECT_TRUE(mainWindow_->isMinimized());
    EXPECT_TRUE(mainWindow_->isVisible()); // still in the window list, so it can be brought back
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Tembrik - Free Radio Gadget!");
    mainWindow_->openFromTray();
    EXPECT_FALSE(mainWindow_->isMinimized());
    EXPECT_TRUE(mainWindow_->isVisible());
    EXPECT_FALSE(mainWindow_->trayIcon->isVisible());
    // The show/hide hot key does the same as the two.
    mainWindow_->hotKeyPressed(HotKeyShowHide);
    EXPECT_TRUE(mainWindow_->isMinimized());
    mainWindow_->hotKeyPressed(HotKeyShowHide);
    EXPECT_FALSE(mainWindow_->isMinimized());
}

TEST_F(ChromeTest, LinksOpenPagesOfTheProductSite) {
    layOutStations(1);
    startAll();
    UrlRecorder urls;
    mainWindow_->openProductSite();
    mainWindow_->helpItem->trigger();
    about_->siteButton->click();
    about_->openDeveloperPage();
    EXPECT_EQ(urls.opened, QStringList({"https://tembrik.radio/", "https://tembrik.radio/radio_15_FAQ.html",
                                        "https://tembrik.radio/", "https://tembrik.radio/developer.html"}));

    const struct {
        const char* site;
        const char* home;
    } overrides[] = {
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/"},
        {"http://localhost:1234/", "http://localhost:1234/"},
        {"https://example.test", "https://example.test/"},
        // Not a scheme, host and port: the built-in address stays.
        {"127.0.0.1:8080", "https://tembrik.radio/"},
        {"http://127.0.0.1:8080/other/page", "https://tembrik.radio/"},
        {"file:///etc/passwd", "https://tembrik.radio/"},
        {"http://user:pw@127.0.0.1", "https://tembrik.radio/"},
    };
    for (const auto& o : overrides) {
        qputenv("TEMBRIK_SITE", o.site);
        urls.opened.clear();
        QTest::mouseClick(mainWindow_->siteLink, Qt::LeftButton);
        EXPECT_EQ(urls.opened, QStringList(o.home)) << o.site;
    }
    qputenv("TEMBRIK_SITE", "http://127.0.0.1:8080");
    EXPECT_EQ(ProductPageUrl(FaqPage).toString(), "http://127.0.0.1:8080/radio_15_FAQ.html");
}

TEST_F(ChromeTest, AboutWindowShowsItsControlsAndTheHotKeyListExactly) {
    layOutStations(1);
    startAll();
    AboutWindow* f = about_.get();
    EXPECT_EQ(f->size(), QSize(305, 164));
    EXPECT_EQ(f->pos(), QPoint(432, 210));
    EXPECT_EQ(f->windowTitle(), "Версия");
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
    const struct {
        QWidget* control;
        QRect place;
    } places[] = {
        {f->background, {0, 0, 305, 164}},   {f->closeMark, {264, 4, 32, 26}},
        {f->versionLabel, {16, 8, 177, 24}}, {f->developerLink, {16, 32, 130, 13}},
        {f->hotKeyList, {112, 56, 161, 97}}, {f->siteButton, {16, 130, 73, 25}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.control->geometry(), p.place) << p.control->objectName().toStdString();
    EXPECT_EQ(f->versionLabel->text(), "Tembrik Dave 2.5");
    EXPECT_EQ(f->versionLabel->font().pixelSize(), 19);
    EXPECT_EQ(f->versionLabel->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(f->developerLink->text(), "Developer: Tembrik team");
    EXPECT_TRUE(f->developerLink->font().underline());
    EXPECT_EQ(f->developerLink->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(f->developerLink->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f->developerLink->toolTip().isEmpty());
    EXPECT_EQ(f->siteButton->text(), "Site");
    EXPECT_EQ(f->siteButton->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f->closeMark->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f->hotKeyList->isReadOnly());
    EXPECT_EQ(f->hotKeyList->frameShape(), QFrame::NoFrame);

    const char* const lines[] = {"Hot keys:",
                                 "Show/Hide - Ctrl + Shift + F5",
                                 "Volume Down -  Ctrl + Shift + F8",
                                 "Volume Up - Ctrl + Shift + F9",
                                 "Play - Ctrl + Shift + F10 ",
                                 "Record - Ctrl + Shift + F11",
                                 "Stop - Ctrl + Shift + F12",
                                 ""};
    QTextDocument* doc = f->hotKeyList->document();
    ASSERT_EQ(doc->blockCount(), 8);
    for (int i = 0; i < 8; ++i) {
        const QTextBlock block = doc->findBlockByNumber(i);
        EXPECT_EQ(block.text().toStdString(), lines[i]) << "line " << i + 1;
        EXPECT_TRUE(f->hotKeyList->document()->defaultTextOption().alignment() & Qt::AlignRight);
    }
}

TEST_F(ChromeTest, AboutWindowKeepsTypedTextAndItsPlaceAcrossShowings) {
    layOutStations(1);
    startAll();
    AboutWindow* f = about_.get();
    for (int round = 0; round < 3; ++round) {
        QTimer::singleShot(0, [&, round] {
            EXPECT_TRUE(f->isVisible());
            EXPECT_EQ(f->pos(), round == 0 ? QPoint(432, 210) : QPoint(500, 300));
            if (round == 0) {
                f->hotKeyList->moveCursor(QTextCursor::End);
                QTest::keyClicks(f->hotKeyList, "typed");
                f->move(500, 300); // where the user left it
            }
            QTest::mouseClick(f->closeMark, Qt::LeftButton);
        });
        mainWindow_->openAbout();
        EXPECT_FALSE(f->isVisible());
        EXPECT_TRUE(mainWindow_->isEnabled());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_TRUE(f->hotKeyList->toPlainText().endsWith("F12\ntyped"));
}

TEST_F(ChromeTest, SecondaryWindowsCloseByTheirCloseAreas) {
    layOutStations(1);
    startAll();
    UpdateNotice updateNotice;
    ShowFindStations(mainWindow_.get());
    auto* find = mainWindow_->findChild<FindStationsWindow*>();
    ASSERT_NE(find, nullptr);
    const struct {
        QWidget* window;
        ImageControl* close;
        QRect place;
    } windows[] = {
        {options_.get(), options_->closeMark, {264, 4, 32, 26}},
        {editor_.get(), editor_->closeMark, {457, 4, 32, 25}},
        {&updateNotice, updateNotice.closeMark, {260, 4, 32, 25}},
        {about_.get(), about_->closeMark, {264, 4, 32, 26}},
        {find, find->closeMark, {480, 4, 32, 25}},
    };
    for (const auto& w : windows) {
        EXPECT_EQ(w.close->geometry(), w.place) << w.window->objectName().toStdString();
        EXPECT_EQ(w.close->cursor().shape(), Qt::PointingHandCursor);
        w.window->show();
        QTest::mouseClick(w.close, Qt::LeftButton);
        EXPECT_FALSE(w.window->isVisible()) << w.window->objectName().toStdString();
    }
}

// A secondary window holds no background picture until it is first shown; from its first frame on
// it has the picture, and the picture's lime corners are cut out of the window.
TEST_F(ChromeTest, SecondaryWindowsTakeTheirPictureAndShapeWhenFirstShown) {
    layOutStations(1);
    startAll();
    UpdateNotice updateNotice;
    const struct {
        QWidget* window;
        ImageControl* background;
        const char* file;
    } windows[] = {
        {options_.get(), options_->background, "options-background.png"},
        {editor_.get(), editor_->background, "editor-background.png"},
        {&updateNotice, updateNotice.background, "update-background.png"},
        {about_.get(), about_->background, "about-background.png"},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.file);
        EXPECT_TRUE(w.background->picture().isNull());
        EXPECT_TRUE(w.window->mask().isEmpty());
        // Both are there when show() returns, before the window system has drawn anything.
        w.window->show();
        EXPECT_FALSE(w.background->picture().isNull());
        EXPECT_FALSE(w.window->mask().isEmpty());
        const QImage file(QString::fromStdString((dir_->path() / w.file).string()));
        EXPECT_EQ(w.background->picture().toImage().convertToFormat(QImage::Format_RGB32),
                  file.convertToFormat(QImage::Format_RGB32));
        const QRegion shape = w.window->mask();
        EXPECT_FALSE(shape.contains(QPoint(0, 0)));
        EXPECT_TRUE(shape.contains(w.window->rect().center()));
        // Shown again, the window keeps what it has.
        w.window->hide();
        w.window->show();
        EXPECT_EQ(w.window->mask(), shape);
        w.window->hide();
    }
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

// A missing or undecodable background picture, found at first show, leaves a plain rectangular
// window that still works, as it did when the picture was read at start; no error box.
TEST_F(ChromeTest, WithoutItsBackgroundPictureASecondaryWindowIsAPlainRectangle) {
    layOutStations(1);
    std::filesystem::remove(dir_->path() / "options-background.png");
    put(dir_->path() / "editor-background.png", "not a picture");
    put(dir_->path() / "about-background.png", bytesOf(dir_->path() / "about-background.png").substr(0, 8));
    startAll();
    const struct {
        QWidget* window;
        ImageControl* background;
        ImageControl* closeMark;
    } windows[] = {
        {options_.get(), options_->background, options_->closeMark},
        {editor_.get(), editor_->background, editor_->closeMark},
        {about_.get(), about_->background, about_->closeMark},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.window->objectName().toStdString());
        w.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window, 20000));
        EXPECT_TRUE(w.background->picture().isNull());
        EXPECT_TRUE(w.window->mask().isEmpty());
        w.closeMark->click();
        EXPECT_TRUE(w.window->isHidden());
    }
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

TEST_F(ChromeTest, WithoutAMoveOfTheWindowSystemTheWindowFollowsThePointer) {
    layOutStations(1);
    startAll();
    // Every drag area and every button: the window keeps the pointer's offset until release.
    UpdateNotice updateNotice;
    updateNotice.show();
    about_->show();
    ShowFindStations(mainWindow_.get());
    auto* find = mainWindow_->findChild<FindStationsWindow*>();
    ASSERT_NE(find, nullptr);
    const struct {
        QWidget* window;
        QWidget* area;
    } areas[] = {{mainWindow_.get(), mainWindow_->background},
                 {mainWindow_.get(), mainWindow_->stationTitle},
                 {editor_.get(), editor_->background},
                 {editor_.get(), editor_->titleLabel},
                 {options_.get(), options_->background},
                 {&updateNotice, updateNotice.background},
                 {about_.get(), about_->background},
                 {find, find->background},
                 {find, find->titleLabel}};
    options_->show();
    editor_->show();
    for (const auto& a : areas) {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            a.window->move(100, 100);
            const QPoint at = a.area->rect().center();
            QTest::mousePress(a.area, button, {}, at);
            QTest::mouseMove(a.area, at + QPoint(30, 20));
            EXPECT_EQ(a.window->pos(), QPoint(130, 120)) << a.area->objectName().toStdString() << button;
            QTest::mouseRelease(a.area, button, {}, a.area->mapFromGlobal(QCursor::pos()));
            const QPoint after = a.window->pos();
            QTest::mouseMove(a.area, a.area->rect().center() + QPoint(15, 15));
            EXPECT_EQ(a.window->pos(), after) << "still moving after release";
        }
    }
}

#include "ChromeTest.moc"
