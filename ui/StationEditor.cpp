#include "StationEditor.h"

#include "ErrorBox.h"
#include "MainWindow.h"
#include "SkinnedWindow.h"
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

StationEditor* theStationEditor = nullptr;

namespace {

constexpr const char* TitlePlaceholder = "Name";
constexpr const char* UrlPlaceholder = "URL";

QLineEdit* MakeEdit(QWidget* parent, QRect place, const char* text) {
    auto* e = new QLineEdit(text, parent);
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

StationEditor::StationEditor(QWidget* parent) : QWidget(parent) {
    setObjectName("Form3");
    theStationEditor = this;
    background =
        SetUpSkinnedWindow(this, QSize(497, 164), "Editor", "editor-background.png", SkinLoad::AtFirstShow);

    titleLabel = new QLabel("Radio station Editor", this);
    titleLabel->setObjectName("sLabel1");
    titleLabel->setFont(ProgramFont(FontFace::Gothic, 17, true));
    QPalette black = titleLabel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    titleLabel->setPalette(black);
    titleLabel->move(40, 13);
    titleLabel->adjustSize();

    windowIcon = new ImageControl(this);
    windowIcon->setObjectName("Image4");
    windowIcon->setGeometry(13, 10, 25, 26);
    windowIcon->setCursor(Qt::ArrowCursor);
    try {
        windowIcon->setPicture(LoadProgramPicture("window-icon.png"));
    } catch (const std::exception&) {
        // Only decoration.
    }

    closeMark = new ImageControl(this);
    closeMark->setObjectName("Image2");
    closeMark->setGeometry(457, 4, 32, 25);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");

    const QPoint panelAt(5, 37);
    panel = new RoundedPanel(10, 2, this);
    panel->setObjectName("RbPanel1");
    panel->setGeometry(QRect(panelAt, QSize(488, 122)));

    logo = new ImageControl(panel);
    logo->setObjectName("Image3");
    logo->setGeometry(OnPanel({10, 41, 85, 82}, panelAt));
    logo->setStretch(true);
    logo->setCursor(Qt::ArrowCursor);
    logo->setAccessibleName("Logo");

    secondPlayerBox = new QCheckBox("Use alternative connect engine (WMP)", panel);
    secondPlayerBox->setObjectName("sCheckBox1");
    secondPlayerBox->setGeometry(OnPanel({98, 107, 212, 19}, panelAt));
    QPalette blue = secondPlayerBox->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 206));
    secondPlayerBox->setPalette(blue);

    titleEdit = MakeEdit(this, {100, 41, 390, 28}, TitlePlaceholder);
    titleEdit->setObjectName("sEdit1");
    urlEdit = MakeEdit(this, {100, 74, 390, 28}, UrlPlaceholder);
    urlEdit->setObjectName("sEdit2");
    saveButton = MakeWindowButton(this, "sButton1", {280, 129, 102, 27}, "SAVE");
    okButton = MakeWindowButton(this, "sButton2", {388, 129, 102, 27}, "OK");

    connect(background, &ImageControl::pressedAt, this, &StationEditor::dragByBackground);
    connect(closeMark, &ImageControl::clicked, this, &StationEditor::onCloseMarkClicked);
    connect(saveButton, &QPushButton::clicked, this, &StationEditor::save);
    connect(okButton, &QPushButton::clicked, this, &StationEditor::onOkClicked);
    titleLabel->installEventFilter(this);
    titleEdit->installEventFilter(this);
    urlEdit->installEventFilter(this);
}

bool StationEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (watched == titleLabel)
            dragByTitle(press);
        else if (watched == titleEdit)
            titleEditClicked();
        else if (watched == urlEdit)
            urlEditClicked();
    }
    return QWidget::eventFilter(watched, event);
}

void StationEditor::showModal() {
    RunModal(this);
}

void StationEditor::fillFromCurrentStation() {
    const PlayerState& s = State();
    if (theMainWindow)
        titleEdit->setText(theMainWindow->stationTitle->text());
    urlEdit->setText(QString::fromStdString(s.CurrentUrl.get()));
    secondPlayerBox->setChecked(s.UseSecondPlayer.get() == AlternativeEngineFlag);
    // A station without a picture shows none rather than the previous station's logo.
    logo->setPicture(QPixmap::fromImage(LoadLogo(s.CurrentStation, logo->size())));
}

void StationEditor::save() {
    const int station = State().CurrentStation;
    // Only an opened station has a file to save into; nothing may create play0.txt.
    if (station <= 0)
        return;
    try {
        const StationFile file{urlEdit->text().toStdString(), titleEdit->text().toStdString(),
                               secondPlayerBox->isChecked() ? "1" : "0"};
        WriteStationFile(station, file);
        State().CurrentUrl.set(file.Url);
        if (theMainWindow)
            theMainWindow->stationTitle->setCaption(titleEdit->text());
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}

void StationEditor::onOkClicked() {
    close();
}

void StationEditor::onCloseMarkClicked() {
    close();
}

void StationEditor::titleEditClicked() {
    if (titleEdit->text() == TitlePlaceholder)
        titleEdit->clear();
}

void StationEditor::urlEditClicked() {
    if (urlEdit->text() == UrlPlaceholder)
        urlEdit->clear();
}

void StationEditor::dragByBackground(QMouseEvent* e) {
    DragWindow(this, e);
}

void StationEditor::dragByTitle(QMouseEvent* e) {
    DragWindow(this, e);
}
