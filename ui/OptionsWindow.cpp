#include "OptionsWindow.h"

#include "ErrorBox.h"
#include "MainWindow.h"
#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"
#include "widgets/RoundedPanel.h"
#include "widgets/ShadowLabel.h"
#include "widgets/SkinSlider.h"

#include "app/PlayerState.h"
#include "playback/Equalizer.h"
#include "settings/ConfigFile.h"
#include "settings/RunEntry.h"
#include "tembrik/platform/ProgramDir.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <algorithm>

OptionsWindow* theOptionsWindow = nullptr;

namespace {

constexpr QPoint PanelAt(7, 38);

// Controls the layout places in window coordinates that lie on the panel.
QRect OnPanel(QRect place) {
    return place.translated(-PanelAt);
}

QCheckBox* MakeCheckBox(QWidget* panel, QRect place, const char* caption) {
    auto* box = new QCheckBox(caption, panel);
    box->setGeometry(place);
    // The caption stands to the left of the box.
    box->setLayoutDirection(Qt::RightToLeft);
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

QPushButton* MakeButton(QWidget* parent, QRect place, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(place);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

SkinSlider* MakeSlider(QWidget* parent, Qt::Orientation o, QRect place, int position) {
    auto* s = new SkinSlider(o, 20, parent);
    s->setGeometry(place);
    s->setRange(0, 30);
    s->setValue(position);
    return s;
}

} // namespace

QPoint OptionsPosition(const QSize& screen) {
    return {screen.width() / 2 - 300, screen.height() / 2 - 200};
}

OptionsWindow::OptionsWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("Form2");
    theOptionsWindow = this;
    background =
        SetUpSkinnedWindow(this, QSize(305, 374), "Options", "options-background.png", SkinLoad::AtFirstShow);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    closeMark = new ImageControl(this);
    closeMark->setObjectName("Image2");
    closeMark->setGeometry(264, 4, 32, 26);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");

    windowIcon = new ImageControl(this);
    windowIcon->setObjectName("Image3");
    windowIcon->setGeometry(11, 10, 26, 26);
    windowIcon->setCursor(Qt::ArrowCursor);
    try {
        windowIcon->setPicture(LoadProgramPicture("window-icon.png"));
    } catch (const std::exception&) {
        // Only decoration.
    }

    titleLabel = new QLabel("Options", this);
    titleLabel->setObjectName("sLabel1");
    titleLabel->setFont(ProgramFont(FontFace::Gothic, 17, true));
    titleLabel->move(41, 12);
    titleLabel->adjustSize();

    panel = new RoundedPanel(10, 2, this);
    panel->setObjectName("RbPanel1");
    panel->setGeometry(QRect(PanelAt, QSize(292, 330)));

    autostartBox = MakeCheckBox(panel, {139, 10, 139, 19}, "Autostart with Windows");
    autostartBox->setObjectName("sCheckBox3");
    checkUpdatesBox = MakeCheckBox(panel, OnPanel({146, 73, 139, 19}), "Check for new versions");
    checkUpdatesBox->setObjectName("sCheckBox2");
    equalizerBox = MakeCheckBox(panel, {207, 83, 71, 19}, "Equalizer");
    equalizerBox->setObjectName("sCheckBox4");
    openLastBox = MakeCheckBox(panel, OnPanel({142, 97, 143, 19}), "Start recent radio station");
    openLastBox->setObjectName("sCheckBox1");

    equalizerPanel = new RoundedPanel(10, 1, panel);
    equalizerPanel->setObjectName("RbPanel2");
    equalizerPanel->setGeometry(9, 107, 274, 145);
    equalizerPanel->setColors(Qt::white, QColor(160, 160, 160));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "sTrackBar" + QByteArray::number(k + 2);
        SkinSlider* band = MakeSlider(equalizerPanel, Qt::Vertical, {8 + 26 * k, 5, 24, 136}, 15);
        band->setObjectName(name.constData());
        // Position 0 is at the top: the highest gain.
        band->setInvertedAppearance(true);
        band->setInvertedControls(true);
        band->setAccessibleName(QStringLiteral("Band %1").arg(k + 1));
        bandSliders[static_cast<std::size_t>(k)] = band;
        connect(band, &QSlider::valueChanged, this, [this, k] { bandChanged(k + 1); });
    }

    bufferLabel = new QLabel("Buffer", panel);
    bufferLabel->setObjectName("sLabel2");
    bufferLabel->move(8, 267);
    bufferLabel->adjustSize();
    bufferSlider = MakeSlider(panel, Qt::Horizontal, {41, 262, 212, 24}, 3);
    bufferSlider->setObjectName("sTrackBar1");
    bufferSlider->setAccessibleName("Buffer");
    bufferSeconds = new ShadowLabel(panel);
    bufferSeconds->setObjectName("RxLabel1");
    bufferSeconds->setShadowColor(Qt::white);
    bufferSeconds->move(252, 266);
    bufferSeconds->setCaption("3 sec.");

    okButton = MakeButton(panel, OnPanel({13, 337, 69, 25}), "OK");
    okButton->setObjectName("sButton1");
    helpButton = MakeButton(panel, OnPanel({156, 339, 65, 25}), "Help");
    helpButton->setObjectName("sButton3");
    applyButton = MakeButton(panel, OnPanel({226, 339, 68, 25}), "Apply");
    applyButton->setObjectName("sBitBtn1");
    applyButton->setEnabled(false);

    connect(background, &ImageControl::pressedAt, this, &OptionsWindow::dragByBackground);
    connect(closeMark, &ImageControl::clicked, this, &OptionsWindow::onCloseMarkClicked);
    connect(windowIcon, &ImageControl::pressedAt, this, &OptionsWindow::dragByBackground);
    connect(openLastBox, &QCheckBox::toggled, this, &OptionsWindow::openLastToggled);
    connect(checkUpdatesBox, &QCheckBox::toggled, this, &OptionsWindow::checkUpdatesToggled);
    connect(autostartBox, &QCheckBox::toggled, this, &OptionsWindow::autostartToggled);
    connect(equalizerBox, &QCheckBox::toggled, this, &OptionsWindow::equalizerToggled);
    connect(bufferSlider, &QSlider::valueChanged, this, &OptionsWindow::bufferChanged);
    connect(okButton, &QPushButton::clicked, this, &OptionsWindow::onOkClicked);
    connect(helpButton, &QPushButton::clicked, this, &OptionsWindow::openHelp);
    connect(applyButton, &QPushButton::clicked, this, &OptionsWindow::apply);
}

void OptionsWindow::tick(QCheckBox* box) {
    if (box && !box->isChecked())
        box->setChecked(true);
}

void OptionsWindow::showOptions() {
    const PlayerState& s = State();
    if (s.AutostartEnabled == 1)
        tick(autostartBox);
    if (s.CheckUpdates == 1)
        tick(checkUpdatesBox);
    if (s.OpenLast)
        tick(openLastBox);
    if (s.EqualizerEnabled == 1)
        tick(equalizerBox);
    for (std::size_t k = 0; k < bandSliders.size(); ++k)
        bandSliders[k]->setValue(s.EqualizerBands[k]);
    bufferSlider->setValue(std::clamp(s.BufferMs / 1000, 0, 30));
    showBufferSeconds();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(OptionsPosition(screen->geometry().size()));
    if (isVisible())
        hide();
    else
        RunModal(this);
    applyButton->setEnabled(false);
}

void OptionsWindow::showBufferSeconds() {
    bufferSeconds->setCaption(QString::number(bufferSlider->value()) + " сек.");
}

void OptionsWindow::autostartToggled() {
    applyButton->setEnabled(true);
    State().AutostartEnabled = autostartBox->isChecked() ? 1 : 0;
}

void OptionsWindow::checkUpdatesToggled() {
    applyButton->setEnabled(true);
    State().CheckUpdates = checkUpdatesBox->isChecked() ? 1 : 0;
}

void OptionsWindow::openLastToggled() {
    // OpenLast follows the box only at "Apply".
    applyButton->setEnabled(true);
}

void OptionsWindow::equalizerToggled() {
    const bool on = equalizerBox->isChecked();
    State().EqualizerEnabled = on ? 1 : 0;
    for (int k = 1; k <= 10; ++k)
        playback::SetBandGain(
            k, on ? static_cast<float>(15 - bandSliders[static_cast<std::size_t>(k - 1)]->value()) : 0.0f);
    applyButton->setEnabled(true);
}

void OptionsWindow::bandChanged(int band) {
    // The current stream only; EqualizerBands changes at "Apply".
    if (State().EqualizerEnabled == 1)
        playback::SetBandGain(
            band, static_cast<float>(15 - bandSliders[static_cast<std::size_t>(band - 1)]->value()));
    applyButton->setEnabled(true);
}

void OptionsWindow::bufferChanged() {
    showBufferSeconds();
    applyButton->setEnabled(true);
    State().BufferMs = bufferSlider->value() * 1000;
}

void OptionsWindow::apply() {
    applyButton->setEnabled(false);
    PlayerState& s = State();
    ConfigValues v;
    v.CheckUpdates = checkUpdatesBox->isChecked() ? 1 : 0;
    v.OpenLast = openLastBox->isChecked() ? 1 : 0;
    v.StartVolume = theMainWindow ? theMainWindow->volumeSlider->value() : s.VolumePosition.load();
    v.LastNumber = s.CurrentStation <= 0 ? -1 : s.CurrentStation;
    v.Autorun = autostartBox->isChecked() ? 1 : 0;
    v.BufferSeconds = bufferSlider->value();
    v.Equalizer = equalizerBox->isChecked() ? 1 : 0;
    const auto dir = tembrik::platform::programDir();
    std::array<int, 10> bands{};
    for (std::size_t k = 0; k < bands.size(); ++k)
        bands[k] = bandSliders[k]->value();
    try {
        WriteConfig(dir, v, ApplyRunValueName, tembrik::platform::programExecutable());
        // The settings follow the file only once it is written whole.
        s.CheckUpdates = v.CheckUpdates;
        s.OpenLast = v.OpenLast == 1;
        s.EqualizerEnabled = v.Equalizer;
        playback::SaveEqualizer(dir, bands);
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}

void OptionsWindow::onOkClicked() {
    close();
}

void OptionsWindow::openHelp() {
    QDesktopServices::openUrl(QUrl(ProductSite() + "/radio_12_help-and-info.html"));
}

void OptionsWindow::onCloseMarkClicked() {
    close();
}

void OptionsWindow::dragByBackground(QMouseEvent* e) {
    DragWindow(this, e);
}

void OptionsWindow::mousePressEvent(QMouseEvent* e) {
    DragWindow(this, e);
}
