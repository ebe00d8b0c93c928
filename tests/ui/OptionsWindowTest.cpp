// The Options window: its layout, how it opens, its handlers and the equalizer on the current stream.
#include "SettingsFixture.h"

#include "app/PlayerState.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/RoundedPanel.h"
#include "ui/widgets/ShadowLabel.h"
#include "ui/widgets/SkinSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

QRect InWindow(const QWidget* w) {
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// Receives what the Help button opens instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

} // namespace

using OptionsWindowTest = SettingsFixture;

TEST_F(OptionsWindowTest, EveryControlIsAtItsPlaceWithItsCaption) {
    start();
    TForm2& f = *form2_;
    EXPECT_EQ(f.size(), QSize(305, 374));
    EXPECT_EQ(f.windowTitle(), "Options");
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(f.mask().isEmpty()); // the lime corners are see-through

    const struct {
        QWidget* control;
        QRect place; // client coordinates of the window
        const char* caption;
    } controls[] = {
        {f.Image2, {264, 4, 32, 26}, nullptr},
        {f.Image3, {11, 10, 26, 26}, nullptr},
        {f.RbPanel1, {7, 38, 292, 330}, nullptr},
        {f.sCheckBox3, {7 + 139, 38 + 10, 139, 19}, "Autostart with Windows"},
        {f.sCheckBox2, {146, 73, 139, 19}, "Check for new versions"},
        {f.sCheckBox4, {7 + 207, 38 + 83, 71, 19}, "Equalizer"},
        {f.sCheckBox1, {142, 97, 143, 19}, "Start recent radio station"},
        {f.RbPanel2, {7 + 9, 38 + 107, 274, 145}, nullptr},
        {f.sTrackBar1, {7 + 41, 38 + 262, 212, 24}, nullptr},
        {f.sButton1, {13, 337, 69, 25}, "OK"},
        {f.sButton3, {156, 339, 65, 25}, "Help"},
        {f.sBitBtn1, {226, 339, 68, 25}, "Apply"},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.control->objectName().toStdString());
        EXPECT_EQ(InWindow(c.control), c.place);
        if (auto* box = qobject_cast<QCheckBox*>(c.control)) {
            EXPECT_EQ(box->text(), c.caption);
            EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft); // caption left of the box
            EXPECT_EQ(box->cursor().shape(), Qt::PointingHandCursor);
            EXPECT_FALSE(box->isChecked());
        }
        if (auto* button = qobject_cast<QPushButton*>(c.control)) {
            EXPECT_EQ(button->text(), c.caption);
            EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
        }
    }
    EXPECT_EQ(f.Image2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f.sBitBtn1->isEnabled());
    EXPECT_EQ(f.RbPanel1->cornerRadius(), 10);
    EXPECT_EQ(f.RbPanel1->borderWidth(), 2);

    // Labels: their top-left corner is the place.
    EXPECT_EQ(InWindow(f.sLabel1).topLeft(), QPoint(41, 12));
    EXPECT_EQ(f.sLabel1->text(), "Options");
    EXPECT_TRUE(f.sLabel1->font().bold());
    EXPECT_EQ(f.sLabel1->font().families().front(), "Century Gothic");
    EXPECT_EQ(InWindow(f.sLabel2).topLeft(), QPoint(7 + 8, 38 + 267));
    EXPECT_EQ(f.sLabel2->text(), "Buffer");
    EXPECT_EQ(InWindow(f.RxLabel1).topLeft(), QPoint(7 + 252, 38 + 266));
    EXPECT_EQ(f.RxLabel1->text(), "3 sec.");

    // Ten vertical band sliders on the white panel, and the buffer slider.
    EXPECT_EQ(f.RbPanel2->parentWidget(), f.RbPanel1);
    for (int k = 0; k < 10; ++k) {
        SkinSlider* band = f.BandSliders[static_cast<std::size_t>(k)];
        SCOPED_TRACE(k);
        EXPECT_EQ(band->objectName(), QString("sTrackBar%1").arg(k + 2));
        EXPECT_EQ(band->parentWidget(), f.RbPanel2);
        EXPECT_EQ(band->geometry(), QRect(8 + 26 * k, 5, 24, 136));
        EXPECT_EQ(band->orientation(), Qt::Vertical);
        EXPECT_EQ(band->minimum(), 0);
        EXPECT_EQ(band->maximum(), 30);
        EXPECT_EQ(band->value(), 15);
        EXPECT_EQ(band->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(f.sTrackBar1->orientation(), Qt::Horizontal);
    EXPECT_EQ(f.sTrackBar1->maximum(), 30);
    EXPECT_EQ(f.sTrackBar1->value(), 3);
    EXPECT_EQ(f.sTrackBar1->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(OptionsWindowTest, OpensFilledFromTheSettingsAsAUserWouldHaveClicked) {
    start();
    PlayerState& s = State();
    s.AutostartEnabled = 1;
    s.CheckUpdates = 1;
    s.OpenLast = true;
    s.EqualizerEnabled = 1;
    const int stored[10] = {0, 5, 10, 15, 20, 25, 30, 15, 15, 40};
    for (int k = 0; k < 10; ++k)
        s.EqualizerBands[static_cast<std::size_t>(k)] = stored[k];
    s.BufferMs = 45000;
    whileOpen([&] {
        EXPECT_TRUE(form2_->sCheckBox3->isChecked());
        EXPECT_TRUE(form2_->sCheckBox2->isChecked());
        EXPECT_TRUE(form2_->sCheckBox1->isChecked());
        EXPECT_TRUE(form2_->sCheckBox4->isChecked());
        // The band of 40 stops at 30: -15 dB on the stream.
        EXPECT_EQ(form2_->BandSliders[9]->value(), 30);
        EXPECT_EQ(gainsSet(10).back(), -15.0f);
        EXPECT_EQ(gainsSet(1).back(), 15.0f);
        EXPECT_EQ(gainsSet(5).back(), -5.0f);
        // A buffer of 45 s stops at 30.
        EXPECT_EQ(form2_->sTrackBar1->value(), 30);
        EXPECT_EQ(s.BufferMs, 30000);
        EXPECT_EQ(form2_->RxLabel1->text(), "30 сек.");
        EXPECT_TRUE(form2_->sBitBtn1->isEnabled());
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        EXPECT_EQ(form2_->pos(), QPoint(screen.width() / 2 - 300, screen.height() / 2 - 200));
        EXPECT_EQ(QApplication::activeModalWidget(), form2_.get()); // the main window waits
    });
    EXPECT_FALSE(form2_->sBitBtn1->isEnabled());
    EXPECT_EQ(s.EqualizerBands[9], 40); // only "Apply" stores bands
}

TEST_F(OptionsWindowTest, BandsActOnlyWhileTheEqualizerIsOn) {
    start();
    whileOpen([&] {
        EXPECT_FALSE(form2_->sBitBtn1->isEnabled());
        form2_->BandSliders[2]->setValue(0);
        form2_->BandSliders[6]->setValue(27);
        EXPECT_TRUE(gainsSet(3).empty()); // nothing audible yet
        EXPECT_TRUE(form2_->sBitBtn1->isEnabled());

        form2_->sCheckBox4->click(); // the sliders apply at once
        EXPECT_EQ(State().EqualizerEnabled, 1);
        EXPECT_EQ(gainsSet(3).back(), 15.0f);
        EXPECT_EQ(gainsSet(7).back(), -12.0f);
        EXPECT_EQ(gainsSet(1).back(), 0.0f);
        form2_->BandSliders[0]->setValue(10); // live while on
        EXPECT_EQ(gainsSet(1).back(), 5.0f);

        form2_->sCheckBox4->click(); // off: every band flat, the effects stay
        EXPECT_EQ(State().EqualizerEnabled, 0);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(gainsSet(k).back(), 0.0f) << k;
        EXPECT_EQ(form2_->BandSliders[2]->value(), 0);
    });
}

TEST_F(OptionsWindowTest, ApplyIsEnabledByChangesAndByTheStationGridsTicks) {
    State().CheckUpdates = 0;
    start();
    State().OpenLast = true;
    State().CheckUpdates = 1;
    whileOpen([] {}); // the ticks made while filling enable it; closing disables it
    EXPECT_FALSE(form2_->sBitBtn1->isEnabled());
    whileOpen([&] {
        EXPECT_FALSE(form2_->sBitBtn1->isEnabled()); // nothing changed since
        form2_->sCheckBox1->click();                 // unticked, not applied
        EXPECT_TRUE(form2_->sBitBtn1->isEnabled());
        EXPECT_TRUE(State().OpenLast);
        form2_->sCheckBox3->click();
        EXPECT_EQ(State().AutostartEnabled, 1);
        form2_->sCheckBox3->click();
        EXPECT_EQ(State().AutostartEnabled, 0);
        form2_->sTrackBar1->setValue(12);
        EXPECT_EQ(State().BufferMs, 12000);
        EXPECT_EQ(form2_->RxLabel1->text(), "12 сек.");
    });
    EXPECT_FALSE(form2_->sBitBtn1->isEnabled());
    EXPECT_FALSE(form2_->sCheckBox1->isChecked()); // the untick stays visible
    // Choosing a station ticks the box again from OpenLast, which enables "Apply".
    form1_->TickOptionsBoxesFromSettings();
    EXPECT_TRUE(form2_->sCheckBox1->isChecked());
    EXPECT_TRUE(form2_->sBitBtn1->isEnabled());
}

TEST_F(OptionsWindowTest, OkKeepsNewGainsOnTheStreamOnly) {
    start();
    State().EqualizerEnabled = 1;
    for (auto& b : State().EqualizerBands)
        b = 15;
    const std::string bands = bytesOf(dir() / "equalizer.txt");
    const std::string settings = bytesOf(config());
    whileOpen([&] {
        form2_->BandSliders[1]->setValue(5);
        EXPECT_EQ(gainsSet(2).back(), 10.0f);
        form2_->sButton1->click();
    });
    EXPECT_EQ(State().EqualizerBands[1], 15);
    EXPECT_EQ(bytesOf(dir() / "equalizer.txt"), bands);
    EXPECT_EQ(bytesOf(config()), settings);
    // The next opening moves the slider back to the stored band, and the stream with it.
    whileOpen([&] { EXPECT_EQ(gainsSet(2).back(), 0.0f); });
}

TEST_F(OptionsWindowTest, ASecondOpenWhileShownHidesItAndEndsTheModalWait) {
    start();
    whileOpen([&] {
        form1_->N9Click(); // the tray menu's "Настройка..." while the window shows
        EXPECT_FALSE(form2_->isVisible());
    });
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_FALSE(QApplication::activeModalWidget());
}

TEST_F(OptionsWindowTest, TheMainWindowsOptionsImageOpensIt) {
    start();
    bool opened = false;
    QTimer::singleShot(0, form2_.get(), [&] {
        opened = form2_->isVisible();
        form2_->Image2Click();
    });
    form1_->Image7->click();
    EXPECT_TRUE(opened);
}

TEST_F(OptionsWindowTest, HelpOpensTheHelpPageOfTheProductSite) {
    qputenv("TEMBRIK_SITE", "http://site.test/");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    start();
    form2_->sButton3->click();
    QDesktopServices::unsetUrlHandler("http");
    qunsetenv("TEMBRIK_SITE");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front(), QUrl("http://site.test/radio_12_help-and-info.html"));
}

#include "OptionsWindowTest.moc"
