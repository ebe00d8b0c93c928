// Window chrome off-screen: the volume keys, the tray menu and hiding without a tray host, the links
// to the product site, the About window's contents, and the manual move where the window system
// offers no move of its own (the off-screen platform offers none).
#include "StationWindowFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "ui/FindStations.h"
#include "ui/ProductSite.h"
#include "ui/SkinnedWindow.h"
#include "ui/Unit2.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
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
        form5_.reset();
        form2_.reset();
        StationWindowFixture::TearDown();
        qunsetenv("TEMBRIK_SITE");
    }
    void startAll() {
        start();
        form2_ = std::make_unique<TForm2>();
        form5_ = std::make_unique<TForm5>();
        // The main window installs the volume keys when it is first activated.
        form1_->activateWindow();
        form1_->FormActivate();
    }
    int volumeCalls() const {
        std::lock_guard l(DefaultTestAudio().mutex);
        return static_cast<int>(
            std::count_if(DefaultTestAudio().calls.begin(), DefaultTestAudio().calls.end(),
                          [](const std::string& c) { return c.rfind("volume", 0) == 0; }));
    }
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm5> form5_;
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
        form1_->sTrackBar1->setValue(c.from);
        QTest::keyClick(form1_->NextGrid1, c.key, c.mods);
        EXPECT_EQ(form1_->sTrackBar1->value(), c.to) << c.from << " key " << c.key << " mods " << c.mods;
    }
    // At the top nothing changes and no volume is applied again.
    form1_->sTrackBar1->setValue(100);
    const int before = volumeCalls();
    QTest::keyClick(form1_->NextGrid1, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(form1_->sTrackBar1->value(), 100);
    EXPECT_EQ(volumeCalls(), before);
    EXPECT_EQ(form1_->RxLabel5->text(), "100");
}

TEST_F(ChromeTest, VolumeKeysReachNoControl) {
    layOutStations(40);
    startAll();
    form1_->sTrackBar1->setValue(50);
    // The grid would scroll on the arrows, a slider would move, a text box would take the keypad signs.
    LogoGrid* grid = form1_->NextGrid1;
    grid->setFocus();
    const int scrolled = grid->verticalScrollBar()->value();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(form1_->sTrackBar1->value(), 48);

    // A slider in another window of the program, as the Options window's are.
    auto* other = new SkinSlider(Qt::Vertical, 10, form2_.get());
    other->setRange(0, 20);
    other->setValue(10);
    form2_->show();
    QTest::keyClick(other, Qt::Key_Up);
    QTest::keyClick(other, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(other->value(), 10);
    EXPECT_EQ(form1_->sTrackBar1->value(), 39);
    form2_->hide();

    form3_->show();
    form3_->sEdit1->setText("");
    QTest::keyClick(form3_->sEdit1, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(form3_->sEdit1, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(form3_->sEdit1->text(), "");
    QTest::keyClicks(form3_->sEdit1, "a+b-c");
    EXPECT_EQ(form3_->sEdit1->text(), "a+b-c");
    EXPECT_EQ(form1_->sTrackBar1->value(), 39);
}

TEST_F(ChromeTest, PopupMenuKeepsItsArrowKeys) {
    layOutStations(1);
    startAll();
    form1_->sTrackBar1->setValue(50);
    form1_->PopupMenu1->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form1_->PopupMenu1->isVisible(); }, 20000));
    QTest::keyClick(form1_->PopupMenu1, Qt::Key_Down);
    EXPECT_EQ(form1_->sTrackBar1->value(), 50);
    EXPECT_NE(form1_->PopupMenu1->activeAction(), nullptr);
    form1_->PopupMenu1->hide();
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
    const QList<QAction*> actions = form1_->PopupMenu1->actions();
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
    QMenu* menu = form1_->PopupMenu1;
    const auto openMenu = [&] {
        menu->popup(QPoint(100, 100));
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 20000));
        const QString caption = form1_->N3->text();
        menu->hide();
        return caption;
    };
    EXPECT_EQ(openMenu(), "Mute On");
    form1_->Image2Click();
    EXPECT_EQ(openMenu(), "Mute Off");
    form1_->N3->trigger(); // unmutes
    EXPECT_EQ(form1_->Image2->hint(), "Mute On");
    EXPECT_EQ(openMenu(), "Mute On");
}

TEST_F(ChromeTest, WithoutATrayHostHidingMinimisesAndTheWindowComesBack) {
    layOutStations(1);
    startAll();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()); // off-screen has no tray host
    form1_->Image5Click();
    EXPECT_TRUE(form1_->isMinimized());
    EXPECT_TRUE(form1_->isVisible()); // still in the window list, so it can be brought back
    EXPECT_EQ(form1_->RxTrayIcon1->toolTip(), "Tembrik - Free Radio Gadget!");
    form1_->N1Click();
    EXPECT_FALSE(form1_->isMinimized());
    EXPECT_TRUE(form1_->isVisible());
    EXPECT_FALSE(form1_->RxTrayIcon1->isVisible());
    // The show/hide hot key does the same as the two.
    form1_->WMHotKey(HotKeyShowHide);
    EXPECT_TRUE(form1_->isMinimized());
    form1_->WMHotKey(HotKeyShowHide);
    EXPECT_FALSE(form1_->isMinimized());
}

TEST_F(ChromeTest, LinksOpenPagesOfTheProductSite) {
    layOutStations(1);
    startAll();
    UrlRecorder urls;
    form1_->RxLabel1Click();
    form1_->N7->trigger();
    form5_->sButton1->click();
    form5_->sLabel2Click();
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
        QTest::mouseClick(form1_->RxLabel1, Qt::LeftButton);
        EXPECT_EQ(urls.opened, QStringList(o.home)) << o.site;
    }
    qputenv("TEMBRIK_SITE", "http://127.0.0.1:8080");
    EXPECT_EQ(ProductPageUrl(FaqPage).toString(), "http://127.0.0.1:8080/radio_15_FAQ.html");
}

TEST_F(ChromeTest, AboutWindowShowsItsControlsAndTheHotKeyListExactly) {
    layOutStations(1);
    startAll();
    TForm5* f = form5_.get();
    EXPECT_EQ(f->size(), QSize(305, 164));
    EXPECT_EQ(f->pos(), QPoint(432, 210));
    EXPECT_EQ(f->windowTitle(), "Версия");
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint);
    const struct {
        QWidget* control;
        QRect place;
    } places[] = {
        {f->Image1, {0, 0, 305, 164}},   {f->Image2, {264, 4, 32, 26}},  {f->sLabel1, {16, 8, 177, 24}},
        {f->sLabel2, {16, 32, 130, 13}}, {f->Memo1, {112, 56, 161, 97}}, {f->sButton1, {16, 130, 73, 25}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.control->geometry(), p.place) << p.control->objectName().toStdString();
    EXPECT_EQ(f->sLabel1->text(), "Tembrik Dave 2.5");
    EXPECT_EQ(f->sLabel1->font().pixelSize(), 19);
    EXPECT_EQ(f->sLabel1->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(f->sLabel2->text(), "Developer: Tembrik team");
    EXPECT_TRUE(f->sLabel2->font().underline());
    EXPECT_EQ(f->sLabel2->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(f->sLabel2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f->sLabel2->toolTip().isEmpty());
    EXPECT_EQ(f->sButton1->text(), "Site");
    EXPECT_EQ(f->sButton1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f->Image2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f->Memo1->isReadOnly());
    EXPECT_EQ(f->Memo1->frameShape(), QFrame::NoFrame);

    const char* const lines[] = {"Hot keys:",
                                 "Show/Hide - Ctrl + Shift + F5",
                                 "Volume Down -  Ctrl + Shift + F8",
                                 "Volume Up - Ctrl + Shift + F9",
                                 "Play - Ctrl + Shift + F10 ",
                                 "Record - Ctrl + Shift + F11",
                                 "Stop - Ctrl + Shift + F12",
                                 ""};
    QTextDocument* doc = f->Memo1->document();
    ASSERT_EQ(doc->blockCount(), 8);
    for (int i = 0; i < 8; ++i) {
        const QTextBlock block = doc->findBlockByNumber(i);
        EXPECT_EQ(block.text().toStdString(), lines[i]) << "line " << i + 1;
        EXPECT_TRUE(f->Memo1->document()->defaultTextOption().alignment() & Qt::AlignRight);
    }
}

TEST_F(ChromeTest, AboutWindowKeepsTypedTextAndItsPlaceAcrossShowings) {
    layOutStations(1);
    startAll();
    TForm5* f = form5_.get();
    for (int round = 0; round < 3; ++round) {
        QTimer::singleShot(0, [&, round] {
            EXPECT_TRUE(f->isVisible());
            EXPECT_EQ(f->pos(), round == 0 ? QPoint(432, 210) : QPoint(500, 300));
            if (round == 0) {
                f->Memo1->moveCursor(QTextCursor::End);
                QTest::keyClicks(f->Memo1, "typed");
                f->move(500, 300); // where the user left it
            }
            QTest::mouseClick(f->Image2, Qt::LeftButton);
        });
        form1_->Image6Click();
        EXPECT_FALSE(f->isVisible());
        EXPECT_TRUE(form1_->isEnabled());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_TRUE(f->Memo1->toPlainText().endsWith("F12\ntyped"));
}

TEST_F(ChromeTest, SecondaryWindowsCloseByTheirCloseAreas) {
    layOutStations(1);
    startAll();
    TForm4 form4;
    ShowFindStations(form1_.get());
    auto* find = form1_->findChild<FindStationsWindow*>();
    ASSERT_NE(find, nullptr);
    const struct {
        QWidget* window;
        ImageControl* close;
        QRect place;
    } windows[] = {
        {form2_.get(), form2_->Image2, {264, 4, 32, 26}}, {form3_.get(), form3_->Image2, {457, 4, 32, 25}},
        {&form4, form4.Image2, {260, 4, 32, 25}},         {form5_.get(), form5_->Image2, {264, 4, 32, 26}},
        {find, find->CloseArea, {480, 4, 32, 25}},
    };
    for (const auto& w : windows) {
        EXPECT_EQ(w.close->geometry(), w.place) << w.window->objectName().toStdString();
        EXPECT_EQ(w.close->cursor().shape(), Qt::PointingHandCursor);
        w.window->show();
        QTest::mouseClick(w.close, Qt::LeftButton);
        EXPECT_FALSE(w.window->isVisible()) << w.window->objectName().toStdString();
    }
}

TEST_F(ChromeTest, WithoutAMoveOfTheWindowSystemTheWindowFollowsThePointer) {
    layOutStations(1);
    startAll();
    // Every drag area and every button: the window keeps the pointer's offset until release.
    TForm4 form4;
    form4.show();
    form5_->show();
    ShowFindStations(form1_.get());
    auto* find = form1_->findChild<FindStationsWindow*>();
    ASSERT_NE(find, nullptr);
    const struct {
        QWidget* window;
        QWidget* area;
    } areas[] = {{form1_.get(), form1_->Image1}, {form1_.get(), form1_->RxLabel6},
                 {form3_.get(), form3_->Image1}, {form3_.get(), form3_->sLabel1},
                 {form2_.get(), form2_->Image1}, {&form4, form4.Image1},
                 {form5_.get(), form5_->Image1}, {find, find->Image1},
                 {find, find->TitleLabel}};
    form2_->show();
    form3_->show();
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
