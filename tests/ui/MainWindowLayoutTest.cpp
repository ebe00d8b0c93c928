#include "ProgramDirFixture.h"

#include "app/PlayerState.h"
#include "ui/ErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <QSystemTrayIcon>
#include <memory>

namespace {

class MainWindowLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new ProgramDirFixture("layout");
        ResetPlayerState();
        SetMessageBoxHookForTesting([](const QString&, bool) {});
        form_ = new MainWindow;
        form_->show();
        QApplication::processEvents();
    }
    static void TearDownTestSuite() {
        delete form_;
        SetMessageBoxHookForTesting({});
        delete dir_;
    }
    static QWidget* control(const char* name) { return form_->findChild<QWidget*>(name); }

    static inline ProgramDirFixture* dir_ = nullptr;
    static inline MainWindow* form_ = nullptr;
};

struct Place {
    const char* name;
    QRect rect;
    const char* text; // caption, or nullptr for pictures
    const char* hint; // tool tip shown on hover ("" for none)
    bool visible;
    bool enabled;
};

} // namespace

TEST_F(MainWindowLayout, WindowIsTheFramelessGadget) {
    EXPECT_EQ(form_->size(), QSize(501, 373));
    EXPECT_EQ(form_->pos(), QPoint(338, 204));
    EXPECT_EQ(form_->windowTitle(), "Tembrik Dave 2.1");
    EXPECT_TRUE(form_->windowFlags() & Qt::FramelessWindowHint);
    // The lime corners of the background are cut out of the window's shape; the panel is not.
    const QRegion shape = form_->mask();
    ASSERT_FALSE(shape.isEmpty());
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(500, 372)));
    EXPECT_TRUE(shape.contains(QPoint(250, 200)));
    EXPECT_TRUE(shape.contains(QPoint(20, 60)));
}

TEST_F(MainWindowLayout, EveryVisibleControlIsInPlaceWithItsTextAndHint) {
    // Labels size themselves to their text, so only their top-left corner is fixed for them.
    const Place table[] = {
        {"Image1", {0, 0, 501, 373}, nullptr, "", true, true},
        {"RxLabel2", {17, 350, 0, 0}, "RADIO STATIONS", "All Radio Stations", true, true},
        {"RxLabel3", {201, 350, 0, 0}, "FAVOURITES", "Favourites", true, true},
        {"Image2", {191, 52, 18, 17}, nullptr, "Mute On", true, true},
        {"RxLabel5", {463, 50, 0, 0}, "25", "Volume", true, true},
        {"RxLabel6", {39, 9, 0, 0}, "Tembrik - Free Radio Gadget!", "", true, true},
        {"Image3", {8, 10, 30, 31}, nullptr, "Add to Favourites", true, true},
        {"Image4", {456, 3, 33, 31}, nullptr, "Close Tembrik", true, true},
        {"Image5", {420, 3, 33, 31}, nullptr, "Minimize to tray", true, true},
        {"Image6", {475, 350, 17, 18}, nullptr, "Tembrik Dave\nHotKeys information", true, true},
        {"Image7", {456, 350, 17, 17}, nullptr, "Options", true, true},
        {"Image8", {439, 350, 16, 18}, nullptr, "Edit Radio Station", true, true},
        {"RxLabel7", {40, 31, 0, 0}, "Tembrik Dave 2.5", "", true, true},
        {"sTrackBar1", {207, 44, 256, 28}, nullptr, "Volume", true, true},
        {"sBitBtn2", {10, 49, 53, 23}, nullptr, "Play", true, false},
        {"sBitBtn1", {67, 49, 52, 23}, nullptr, "", true, false},
        {"sBitBtn3", {123, 49, 52, 23}, nullptr, "Stop", true, false},
        {"NextGrid1", {9, 77, 482, 268}, nullptr, "", true, true},
        {"NextGrid2", {9, 77, 482, 268}, nullptr, "", false, true},
        {"Button1", {133, 347, 22, 16}, "<>", "", false, true},
        {"Button2", {120, 347, 14, 16}, "||", "", false, true},
        {"Button3", {0, 0, 0, 0}, "Button3", "", false, true},
    };
    for (const Place& p : table) {
        SCOPED_TRACE(p.name);
        QWidget* w = control(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), p.rect.topLeft());
        if (!p.rect.size().isEmpty()) {
            EXPECT_EQ(w->size(), p.rect.size());
        }
        EXPECT_EQ(w->toolTip(), QString::fromUtf8(p.hint));
        EXPECT_EQ(w->isVisible(), p.visible);
        EXPECT_EQ(w->isEnabled(), p.enabled);
        if (p.text) {
            if (auto* label = qobject_cast<QLabel*>(w)) {
                EXPECT_EQ(label->text(), QString::fromUtf8(p.text));
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                EXPECT_EQ(button->text(), QString::fromUtf8(p.text));
            } else {
                ADD_FAILURE() << "no text on this control";
            }
        }
    }
}

TEST_F(MainWindowLayout, InitialStatesAndHandCursors) {
    EXPECT_EQ(form_->volumeSlider->minimum(), 0);
    EXPECT_EQ(form_->volumeSlider->maximum(), 100);
    EXPECT_EQ(form_->volumeSlider->value(), 25);
    EXPECT_EQ(form_->volumeSlider->tickPosition(), QSlider::NoTicks);
    for (const char* name :
         {"RxLabel2", "RxLabel3", "Image2", "Image3", "Image4", "Image5", "RxLabel1", "Image6", "Image7",
          "Image8", "RxLabel7", "sTrackBar1", "sBitBtn1", "sBitBtn2", "sBitBtn3", "NextGrid1", "NextGrid2"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(control(name)->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(control("RxLabel5")->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(form_->stationGrid->columnWidth(), 96);
    EXPECT_EQ(form_->favouritesGrid->columnWidth(), 93);
    EXPECT_EQ(form_->stationGrid->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(form_->favouritesGrid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form_->stationGrid->background(), QColor(0xFB, 0xFA, 0xFA));
}

TEST_F(MainWindowLayout, LabelFontsAndShadows) {
    const struct {
        const char* name;
        int pixelSize;
        bool bold;
        QColor shadow;
    } table[] = {
        {"RxLabel2", 12, false, Qt::white},
        {"RxLabel3", 12, false, QApplication::palette().color(QPalette::Highlight)},
        {"RxLabel1", 13, false, QApplication::palette().color(QPalette::Highlight)},
        {"RxLabel5", 15, false, QApplication::palette().color(QPalette::Highlight)},
        {"RxLabel6", 20, true, QApplication::palette().color(QPalette::Highlight)},
        {"RxLabel7", 12, false, QApplication::palette().color(QPalette::Highlight)},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.name);
        auto* l = qobject_cast<ShadowLabel*>(control(t.name));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->font().pixelSize(), t.pixelSize);
        EXPECT_EQ(l->font().bold(), t.bold);
        EXPECT_EQ(l->shadowColor(), t.shadow);
        // The label is at least as wide as its text: nothing is clipped.
        EXPECT_GE(l->width(), QFontMetrics(l->font()).horizontalAdvance(l->text()));
    }
    EXPECT_EQ(control("RxLabel7")->font().families().front(), "Arial Narrow");
    EXPECT_EQ(control("RxLabel6")->font().families().front(), "Century Gothic");
}

TEST_F(MainWindowLayout, ShadowIsDrawnUpAndLeftOfTheText) {
    auto* l = qobject_cast<ShadowLabel*>(control("RxLabel2"));
    ASSERT_NE(l, nullptr);
    QImage img(l->size(), QImage::Format_ARGB32);
    img.fill(QColor(0, 0, 255));
    l->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    // Find the first (top-most, then left-most) dark text pixel; the pixel up and left of some
    // dark pixel must be white shadow.
    int shadowPixels = 0;
    for (int y = 1; y < img.height(); ++y)
        for (int x = 1; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 60 && img.pixel(x - 1, y - 1) == qRgb(255, 255, 255))
                ++shadowPixels;
    EXPECT_GT(shadowPixels, 10);
}

TEST_F(MainWindowLayout, TrayIconAndItsMenu) {
    EXPECT_EQ(form_->trayIcon->toolTip(), "Тембрик Zedu");
    EXPECT_EQ(form_->trayIcon->contextMenu(), form_->trayMenu);
    const struct {
        const char* name;
        const char* caption; // nullptr: separator
    } items[] = {
        {"N1", "&Открыть Тембрик"},
        {"N6", nullptr},
        {"N2", "&Включить радиостанцию"},
        {"Stop1", "В&ыключить радиостанцию"},
        {"N3", "Выключить звук"},
        {"N8", nullptr},
        {"N9", "Настройка..."},
        {"FindStations1", "Найти радиостанции..."},
        {"N7", "Онлайн справка (FAQ)"},
        {"N5", nullptr},
        {"N4", "&Выход"},
    };
    const QList<QAction*> actions = form_->trayMenu->actions();
    ASSERT_EQ(actions.size(), 11);
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(items[i].name);
        EXPECT_EQ(actions[i]->objectName(), items[i].name);
        EXPECT_EQ(actions[i]->isSeparator(), items[i].caption == nullptr);
        if (items[i].caption) {
            EXPECT_EQ(actions[i]->text(), QString::fromUtf8(items[i].caption));
        }
    }
}

TEST_F(MainWindowLayout, ControlsAreVisibleToAccessibilityTools) {
    const struct {
        const char* name;
        QAccessible::Role role;
        const char* accessibleName;
    } table[] = {
        {"sBitBtn2", QAccessible::Button, "Play"},
        {"sBitBtn1", QAccessible::Button, "Record"},
        {"Image4", QAccessible::Button, "Close Tembrik"},
        {"sTrackBar1", QAccessible::Slider, "Volume"},
        {"RxLabel6", QAccessible::StaticText, "Tembrik - Free Radio Gadget!"},
    };
    for (const auto& t : table) {
        SCOPED_TRACE(t.name);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control(t.name));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), t.role);
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(t.accessibleName));
    }
    QAccessibleInterface* play = QAccessible::queryAccessibleInterface(control("sBitBtn2"));
    EXPECT_TRUE(play->state().disabled);
}
