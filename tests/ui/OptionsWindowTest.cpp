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
    OptionsWindow& f = *options_;
    EXPECT_EQ(f.size(), QSize(305, 374));
    EXPECT_EQ(f.windowTitle(), "Options");
    EXPECT_TRUE(f.windowFlags() & Qt::FramelessWindowHint);
    f.show();                         // the window takes its shape when it is first shown
    EXPECT_FALSE(f.mask().isEmpty()); // the lime corners are see-through

    const struct {
        QWidget* control;
        QRect place; // client coordinates of the window
        const char* caption;
    } controls[] = {
        {f.closeMark, {264, 4, 32, 26}, nullptr},
        {f.windowIcon, {11, 10, 26, 26}, nullptr},
        {f.panel, {7, 38, 292, 330}, nullptr},
        {f.autostartBox, {7 + 139, 38 + 10, 139, 19}, "Autostart with Windows"},
        {f.checkUpdatesBox, {146, 73, 139, 19}, "Check for new versions"},
        {f.equalizerBox, {7 + 207, 38 + 83, 71, 19}, "Equalizer"},
        {f.openLastBox, {142, 97, 143, 19}, "Start recent radio station"},
        {f.equalizerPanel, {7 + 9, 38 + 107, 274, 145}, nullptr},
        {f.bufferSlider, {7 + 41, 38 + 262, 212, 24}, nullptr},
        {f.okButton, {13, 337, 69, 25}, "OK"},
        {f.helpButton, {156, 339, 65, 25}, "Help"},
        {f.applyButton, {226, 339, 68, 25}, "Apply"},
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
    EXPECT_EQ(f.closeMark->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(f.applyButton->isEnabled());
    EXPECT_EQ(f.panel->cornerRadius(), 10);
    EXPECT_EQ(f.panel->borderWidth(), 2);

    // Labels: their top-left corner is the place.
    EXPECT_EQ(InWindow(f.titleLabel).topLeft(), QPoint(41, 12));
    EXPECT_EQ(f.titleLabel->text(), "Options");
    EXPECT_TRUE(f.titleLabel->font().bold());
    EXPECT_EQ(f.titleLabel->font().families().front(), "Century Gothic");
    EXPECT_EQ(InWindow(f.bufferLabel).topLeft(), QPoint(7 + 8, 38 + 267));
    EXPECT_EQ(f.bufferLabel->text(), "Buffer");
    EXPECT_EQ(InWindow(f.bufferSeconds).topLeft(), QPoint(7 + 252, 38 + 266));
    EXPECT_EQ(f.bufferSeconds->text(), "3 sec.");

    // Ten vertical band sliders on the white panel, and the buffer slider.
    EXPECT_EQ(f.equalizerPanel->parentWidget(), f.panel);
    for (int k = 0; k < 10; ++k) {
        SkinSlider* band = f.bandSliders[static_cast<std::size_t>(k)];
        SCOPED_TRACE(k);
        EXPECT_EQ(band->objectName(), QString("sTrackBar%1").arg(k + 2));
        EXPECT_EQ(band->parentWidget(), f.equalizerPanel);
        EXPECT_EQ(band->geometry(), QRect(8 + 26 * k, 5, 24, 136));
        EXPECT_EQ(band->orientation(), Qt::Vertical);
        EXPECT_EQ(band->minimum(), 0);
        EXPECT_EQ(band->maximum(), 30);
        EXPECT_EQ(band->value(), 15);
        EXPECT_EQ(band->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(f.bufferSlider->orientation(), Qt::Horizontal);
    EXPECT_EQ(f.bufferSlider->maximum(), 30);
    EXPECT_EQ(f.bufferSlider->value(), 3);
    EXPECT_EQ(f.bufferSlider->cursor().shape(), Qt::PointingHandCursor);
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
        EXPECT_TRUE(options_->autostartBox->isChecked());
        EXPECT_TRUE(options_->checkUpdatesBox->isChecked());
        EXPECT_TRUE(options_->openLastBox->isChecked());
        EXPECT_TRUE(options_->equalizerBox->isChecked());
        // The band of 40 stops at 30: -15 dB on the stream.
        EXPECT_EQ(options_->bandSliders[9]->value(), 30);
        EXPECT_EQ(gainsSet(10).back(), -15.0f);
        EXPECT_EQ(gainsSet(1).back(), 15.0f);
        EXPECT_EQ(gainsSet(5).back(), -5.0f);
        // A buffer of 45 s stops at 30.
        EXPECT_EQ(options_->bufferSlider->value(), 30);
        EXPECT_EQ(s.BufferMs, 30000);
        EXPECT_EQ(options_->bufferSeconds->text(), "30 сек.");
        EXPECT_TRUE(options_->applyButton->isEnabled());
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        EXPECT_EQ(options_->pos(), QPoint(screen.width() / 2 - 300, screen.height() / 2 - 200));
        EXPECT_EQ(QApplication::activeModalWidget(), options_.get()); // the main window waits
    });
    EXPECT_FALSE(options_->applyButton->isEnabled());
    EXPECT_EQ(s.EqualizerBands[9], 40); // only "Apply" stores bands
}

TEST_F(OptionsWindowTest, BandsActOnlyWhileTheEqualizerIsOn) {
    start();
    whileOpen([&] {
        EXPECT_FALSE(options_->applyButton->isEnabled());
        options_->bandSliders[2]->setValue(0);
        options_->bandSliders[6]->setValue(27);
        EXPECT_TRUE(gainsSet(3).empty()); // nothing audible yet
        EXPECT_TRUE(options_->applyButton->isEnabled());

        options_->equalizerBox->click(); // the sliders apply at once
        EXPECT_EQ(State().EqualizerEnabled, 1);
        EXPECT_EQ(gainsSet(3).back(), 15.0f);
        EXPECT_EQ(gainsSet(7).back(), -12.0f);
        EXPECT_EQ(gainsSet(1).back(), 0.0f);
        options_->bandSliders[0]->setValue(10); // live while on
        EXPECT_EQ(gainsSet(1).back(), 5.0f);

        options_->equalizerBox->click(); // off: every band flat, the effects stay
        EXPECT_EQ(State().EqualizerEnabled, 0);
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(gainsSet(k).back(), 0.0f) << k;
        EXPECT_EQ(options_->bandSliders[2]->value(), 0);
    });
}

TEST_F(OptionsWindowTest, ApplyIsEnabledByChangesAndByTheStationGridsTicks) {
    State().CheckUpdates = 0;
    start();
    State().OpenLast = true;
    State().CheckUpdates = 1;
    whileOpen([] {}); // the ticks made while filling enable it; closing disables it
    EXPECT_FALSE(options_->applyButton->isEnabled());
    whileOpen([&] {
        EXPECT_FALSE(options_->applyButton->isEnabled()); // nothing changed since
        options_->openLastBox->click();                   // unticked, not applied
        EXPECT_TRUE(options_->applyButton->isEnabled());
        EXPECT_TRUE(State().OpenLast);
        options_->autostartBox->click();
        EXPECT_EQ(State().AutostartEnabled, 1);
        options_->autostartBox->click();
        EXPECT_EQ(State().AutostartEnabled, 0);
        options_->bufferSlider->setValue(12);
        EXPECT_EQ(State().BufferMs, 12000);
        EXPECT_EQ(options_->bufferSeconds->text(), "12 сек.");
    });
    EXPECT_FALSE(options_->applyButton->isEnabled());
    EXPECT_FALSE(options_->openLastBox->isChecked()); // the untick stays visible
    // Choosing a station ticks the box again from OpenLast, which enables "Apply".
    mainWindow_->tickOptionsBoxesFromSettings();
    EXPECT_TRUE(options_->openLastBox->isChecked());
    EXPECT_TRUE(options_->applyButton->isEnabled());
}

TEST_F(OptionsWindowTest, OkKeepsNewGainsOnTheStreamOnly) {
    start();
    State().EqualizerEnabled = 1;
    for (auto& b : State().EqualizerBands)
        b = 15;
    const std::string bands = bytesOf(dir() / "equalizer.txt");
    const std::string settings = bytesOf(config());
    whileOpen([&] {
        options_->bandSliders[1]->setValue(5);
        EXPECT_EQ(gainsSet(2).back(), 10.0f);
        options_->okButton->click();
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
        mainWindow_->optionsFromTray(); // the tray menu's "Настройка..." while the window shows
        EXPECT_FALSE(options_->isVisible());
    });
    EXPECT_TRUE(mainWindow_->isEnabled());
    EXPECT_FALSE(QApplication::activeModalWidget());
}

TEST_F(OptionsWindowTest, TheMainWindowsOptionsImageOpensIt) {
    start();
    bool opened = false;
    QTimer::singleShot(0, options_.get(), [&] {
        opened = options_->isVisible();
        options_->onCloseMarkClicked();
    });
    mainWindow_->optionsIcon->click();
    EXPECT_TRUE(opened);
}

TEST_F(OptionsWindowTest, HelpOpensTheHelpPageOfTheProductSite) {
    qputenv("TEMBRIK_SITE", "http://site.test/");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    start();
    options_->helpButton->click();
    QDesktopServices::unsetUrlHandler("http");
    qunsetenv("TEMBRIK_SITE");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front(), QUrl("http://site.test/radio_12_help-and-info.html"));
}

#include "OptionsWindowTest.moc"
