#include "Unit3.h"

#include "ErrorBox.h"
#include "SkinnedWindow.h"
#include "Unit1.h"
#include "widgets/ImageControl.h"
#include "widgets/RoundedPanel.h"
#include "widgets/ShadowLabel.h"

#include "app/PlayerState.h"
#include "stations/Logo.h"
#include "stations/StationStore.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>

using namespace tembrik::stations;

TForm3* Form3 = nullptr;

namespace {

constexpr const char* TitlePlaceholder = "Name";
constexpr const char* UrlPlaceholder = "URL";

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect place, const char* text) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setGeometry(place);
    e->setAccessibleName(text);
    QFont f = ProgramFont(FontFace::Sans, 16);
    e->setFont(f);
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    e->setPalette(pal);
    return e;
}

// Children of the panel are placed in the window's client coordinates, like the window's own.
QRect OnPanel(QRect place, QPoint panelTopLeft) {
    return place.translated(-panelTopLeft);
}

} // namespace

QPoint EditorPosition(const QSize& screen) {
    return {screen.width() / 2 - 500, screen.height() / 2 - 200};
}

TForm3::TForm3(QWidget* parent) : QWidget(parent) {
    setObjectName("Form3");
    Form3 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(497, 164), "Editor", "editor-background.png");

    sLabel1 = new QLabel("Radio station Editor", this);
    sLabel1->setObjectName("sLabel1");
    sLabel1->setFont(ProgramFont(FontFace::Gothic, 17, true));
    QPalette black = sLabel1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    sLabel1->setPalette(black);
    sLabel1->move(40, 13);
    sLabel1->adjustSize();

    Image4 = new ImageControl(this);
    Image4->setObjectName("Image4");
    Image4->setGeometry(13, 10, 25, 26);
    Image4->setCursor(Qt::ArrowCursor);
    try {
        Image4->setPicture(LoadProgramPicture("window-icon.png"));
    } catch (const std::exception&) {
        // Only decoration.
    }

    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(457, 4, 32, 25);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");

    const QPoint panelAt(5, 37);
    RbPanel1 = new RoundedPanel(10, 2, this);
    RbPanel1->setObjectName("RbPanel1");
    RbPanel1->setGeometry(QRect(panelAt, QSize(488, 122)));

    Image3 = new ImageControl(RbPanel1);
    Image3->setObjectName("Image3");
    Image3->setGeometry(OnPanel({10, 41, 85, 82}, panelAt));
    Image3->setStretch(true);
    Image3->setCursor(Qt::ArrowCursor);
    Image3->setAccessibleName("Logo");

    sCheckBox1 = new QCheckBox("Use alternative connect engine (WMP)", RbPanel1);
    sCheckBox1->setObjectName("sCheckBox1");
    sCheckBox1->setGeometry(OnPanel({98, 107, 212, 19}, panelAt));
    QPalette blue = sCheckBox1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 206));
    sCheckBox1->setPalette(blue);

    sEdit1 = MakeEdit(this, "sEdit1", {100, 41, 390, 28}, TitlePlaceholder);
    sEdit2 = MakeEdit(this, "sEdit2", {100, 74, 390, 28}, UrlPlaceholder);
    sButton1 = MakeWindowButton(this, "sButton1", {280, 129, 102, 27}, "SAVE");
    sButton2 = MakeWindowButton(this, "sButton2", {388, 129, 102, 27}, "OK");

    connect(Image1, &ImageControl::pressedAt, this, &TForm3::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm3::Image2Click);
    connect(sButton1, &QPushButton::clicked, this, &TForm3::sButton1Click);
    connect(sButton2, &QPushButton::clicked, this, &TForm3::sButton2Click);
    sLabel1->installEventFilter(this);
    sEdit1->installEventFilter(this);
    sEdit2->installEventFilter(this);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (watched == sLabel1)
            sLabel1MouseDown(press);
        else if (watched == sEdit1)
            sEdit1Click();
        else if (watched == sEdit2)
            sEdit2Click();
    }
    return QWidget::eventFilter(watched, event);
}

void TForm3::ShowModal() {
    RunModal(this);
}

void TForm3::FillEditorFromCurrentStation() {
    const PlayerState& s = State();
    if (Form1)
        sEdit1->setText(Form1->RxLabel6->text());
    sEdit2->setText(QString::fromStdString(s.CurrentUrl.get()));
    sCheckBox1->setChecked(s.UseWmpEngine.get() == AlternativeEngineFlag);
    // A station without a picture shows none rather than the previous station's logo.
    Image3->setPicture(QPixmap::fromImage(LoadLogo(s.CurrentStation, Image3->size())));
}

void TForm3::sButton1Click() {
    const int station = State().CurrentStation;
    // Only an opened station has a file to save into; nothing may create play0.txt.
    if (station <= 0)
        return;
    try {
        const StationFile file{sEdit2->text().toStdString(), sEdit1->text().toStdString(),
                               sCheckBox1->isChecked() ? "1" : "0"};
        WriteStationFile(station, file);
        State().CurrentUrl.set(file.Url);
        if (Form1)
            Form1->RxLabel6->setCaption(sEdit1->text());
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}

void TForm3::sButton2Click() {
    close();
}

void TForm3::Image2Click() {
    close();
}

void TForm3::sEdit1Click() {
    if (sEdit1->text() == TitlePlaceholder)
        sEdit1->clear();
}

void TForm3::sEdit2Click() {
    if (sEdit2->text() == UrlPlaceholder)
        sEdit2->clear();
}

void TForm3::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}

void TForm3::sLabel1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
