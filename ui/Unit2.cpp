#include "Unit2.h"

#include "ErrorBox.h"
#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "Unit1.h"
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

TForm2* Form2 = nullptr;

namespace {

constexpr QPoint PanelAt(7, 38);

// Controls the layout places in window coordinates that lie on the panel.
QRect OnPanel(QRect place) {
    return place.translated(-PanelAt);
}

QCheckBox* MakeCheckBox(QWidget* panel, const char* name, QRect place, const char* caption) {
    auto* box = new QCheckBox(caption, panel);
    box->setObjectName(name);
    box->setGeometry(place);
    // The caption stands to the left of the box.
    box->setLayoutDirection(Qt::RightToLeft);
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect place, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(place);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

SkinSlider* MakeSlider(QWidget* parent, const char* name, Qt::Orientation o, QRect place, int position) {
    auto* s = new SkinSlider(o, 20, parent);
    s->setObjectName(name);
    s->setGeometry(place);
    s->setRange(0, 30);
    s->setValue(position);
    return s;
}

} // namespace

QPoint OptionsPosition(const QSize& screen) {
    return {screen.width() / 2 - 300, screen.height() / 2 - 200};
}

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
    setObjectName("Form2");
    Form2 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(305, 374), "Options", "options-background.png");
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(264, 4, 32, 26);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");

    Image3 = new ImageControl(this);
    Image3->setObjectName("Image3");
    Image3->setGeometry(11, 10, 26, 26);
    Image3->setCursor(Qt::ArrowCursor);
    try {
        Image3->setPicture(LoadProgramPicture("window-icon.png"));
    } catch (const std::exception&) {
        // Only decoration.
    }

    sLabel1 = new QLabel("Options", this);
    sLabel1->setObjectName("sLabel1");
    sLabel1->setFont(ProgramFont(FontFace::Gothic, 17, true));
    sLabel1->move(41, 12);
    sLabel1->adjustSize();

    RbPanel1 = new RoundedPanel(10, 2, this);
    RbPanel1->setObjectName("RbPanel1");
    RbPanel1->setGeometry(QRect(PanelAt, QSize(292, 330)));

    sCheckBox3 = MakeCheckBox(RbPanel1, "sCheckBox3", {139, 10, 139, 19}, "Autostart with Windows");
    sCheckBox2 = MakeCheckBox(RbPanel1, "sCheckBox2", OnPanel({146, 73, 139, 19}), "Check for new versions");
    sCheckBox4 = MakeCheckBox(RbPanel1, "sCheckBox4", {207, 83, 71, 19}, "Equalizer");
    sCheckBox1 =
        MakeCheckBox(RbPanel1, "sCheckBox1", OnPanel({142, 97, 143, 19}), "Start recent radio station");

    RbPanel2 = new RoundedPanel(10, 1, RbPanel1);
    RbPanel2->setObjectName("RbPanel2");
    RbPanel2->setGeometry(9, 107, 274, 145);
    RbPanel2->setColors(Qt::white, QColor(160, 160, 160));
    for (int k = 0; k < 10; ++k) {
        const QByteArray name = "sTrackBar" + QByteArray::number(k + 2);
        SkinSlider* band = MakeSlider(RbPanel2, name.constData(), Qt::Vertical, {8 + 26 * k, 5, 24, 136}, 15);
        // Position 0 is at the top: the highest gain.
        band->setInvertedAppearance(true);
        band->setInvertedControls(true);
        band->setAccessibleName(QStringLiteral("Band %1").arg(k + 1));
        BandSliders[static_cast<std::size_t>(k)] = band;
        connect(band, &QSlider::valueChanged, this, [this, k] { BandChange(k + 1); });
    }

    sLabel2 = new QLabel("Buffer", RbPanel1);
    sLabel2->setObjectName("sLabel2");
    sLabel2->move(8, 267);
    sLabel2->adjustSize();
    sTrackBar1 = MakeSlider(RbPanel1, "sTrackBar1", Qt::Horizontal, {41, 262, 212, 24}, 3);
    sTrackBar1->setAccessibleName("Buffer");
    RxLabel1 = new ShadowLabel(RbPanel1);
    RxLabel1->setObjectName("RxLabel1");
    RxLabel1->setShadowColor(Qt::white);
    RxLabel1->move(252, 266);
    RxLabel1->setCaption("3 sec.");

    sButton1 = MakeButton(RbPanel1, "sButton1", OnPanel({13, 337, 69, 25}), "OK");
    sButton3 = MakeButton(RbPanel1, "sButton3", OnPanel({156, 339, 65, 25}), "Help");
    sBitBtn1 = MakeButton(RbPanel1, "sBitBtn1", OnPanel({226, 339, 68, 25}), "Apply");
    sBitBtn1->setEnabled(false);

    connect(Image1, &ImageControl::pressedAt, this, &TForm2::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm2::Image2Click);
    connect(Image3, &ImageControl::pressedAt, this, &TForm2::Image1MouseDown);
    connect(sCheckBox1, &QCheckBox::toggled, this, &TForm2::sCheckBox1Click);
    connect(sCheckBox2, &QCheckBox::toggled, this, &TForm2::sCheckBox2Click);
    connect(sCheckBox3, &QCheckBox::toggled, this, &TForm2::sCheckBox3Click);
    connect(sCheckBox4, &QCheckBox::toggled, this, &TForm2::sCheckBox4Click);
    connect(sTrackBar1, &QSlider::valueChanged, this, &TForm2::sTrackBar1Change);
    connect(sButton1, &QPushButton::clicked, this, &TForm2::sButton1Click);
    connect(sButton3, &QPushButton::clicked, this, &TForm2::sButton3Click);
    connect(sBitBtn1, &QPushButton::clicked, this, &TForm2::sBitBtn1Click);
}

void TForm2::Tick(QCheckBox* box) {
    if (box && !box->isChecked())
        box->setChecked(true);
}

void TForm2::OptionsOpen() {
    const PlayerState& s = State();
    if (s.AutostartEnabled == 1)
        Tick(sCheckBox3);
    if (s.CheckUpdates == 1)
        Tick(sCheckBox2);
    if (s.OpenLast)
        Tick(sCheckBox1);
    if (s.EqualizerEnabled == 1)
        Tick(sCheckBox4);
    for (std::size_t k = 0; k < BandSliders.size(); ++k)
        BandSliders[k]->setValue(s.EqualizerBands[k]);
    sTrackBar1->setValue(std::clamp(s.BufferMs / 1000, 0, 30));
    ShowBufferSeconds();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(OptionsPosition(screen->geometry().size()));
    if (isVisible())
        hide();
    else
        RunModal(this);
    sBitBtn1->setEnabled(false);
}

void TForm2::ShowBufferSeconds() {
    RxLabel1->setCaption(QString::number(sTrackBar1->value()) + " сек.");
}

void TForm2::sCheckBox3Click() {
    sBitBtn1->setEnabled(true);
    State().AutostartEnabled = sCheckBox3->isChecked() ? 1 : 0;
}

void TForm2::sCheckBox2Click() {
    sBitBtn1->setEnabled(true);
    State().CheckUpdates = sCheckBox2->isChecked() ? 1 : 0;
}

void TForm2::sCheckBox1Click() {
    // OpenLast follows the box only at "Apply".
    sBitBtn1->setEnabled(true);
}

void TForm2::sCheckBox4Click() {
    const bool on = sCheckBox4->isChecked();
    State().EqualizerEnabled = on ? 1 : 0;
    for (int k = 1; k <= 10; ++k)
        playback::SetBandGain(
            k, on ? static_cast<float>(15 - BandSliders[static_cast<std::size_t>(k - 1)]->value()) : 0.0f);
    sBitBtn1->setEnabled(true);
}

void TForm2::BandChange(int band) {
    // The current stream only; EqualizerBands changes at "Apply".
    if (State().EqualizerEnabled == 1)
        playback::SetBandGain(
            band, static_cast<float>(15 - BandSliders[static_cast<std::size_t>(band - 1)]->value()));
    sBitBtn1->setEnabled(true);
}

void TForm2::sTrackBar1Change() {
    ShowBufferSeconds();
    sBitBtn1->setEnabled(true);
    State().BufferMs = sTrackBar1->value() * 1000;
}

void TForm2::sBitBtn1Click() {
    sBitBtn1->setEnabled(false);
    PlayerState& s = State();
    ConfigValues v;
    v.CheckUpdates = sCheckBox2->isChecked() ? 1 : 0;
    v.OpenLast = sCheckBox1->isChecked() ? 1 : 0;
    v.StartVolume = Form1 ? Form1->sTrackBar1->value() : s.VolumePosition.load();
    v.LastNumber = s.CurrentStation <= 0 ? -1 : s.CurrentStation;
    v.Autorun = sCheckBox3->isChecked() ? 1 : 0;
    v.BufferSeconds = sTrackBar1->value();
    v.Equalizer = sCheckBox4->isChecked() ? 1 : 0;
    const auto dir = tembrik::platform::programDir();
    std::array<int, 10> bands{};
    for (std::size_t k = 0; k < bands.size(); ++k)
        bands[k] = BandSliders[k]->value();
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

void TForm2::sButton1Click() {
    close();
}

void TForm2::sButton3Click() {
    QDesktopServices::openUrl(QUrl(ProductSite() + "/radio_12_help-and-info.html"));
}

void TForm2::Image2Click() {
    close();
}

void TForm2::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}

void TForm2::mousePressEvent(QMouseEvent* e) {
    DragWindow(this, e);
}
