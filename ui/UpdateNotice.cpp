#include "UpdateNotice.h"

#include "MainWindow.h"
#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>

UpdateNotice* theUpdateNotice = nullptr;

namespace {} // namespace

QPoint UpdateWindowPosition(const QSize& screen) {
    return {screen.width() / 2 - 150, screen.height() / 2 - 100};
}

UpdateNotice::UpdateNotice(QWidget* parent) : QWidget(parent) {
    setObjectName("Form4");
    theUpdateNotice = this;
    background =
        SetUpSkinnedWindow(this, QSize(302, 135), "Update", "update-background.png", SkinLoad::AtFirstShow);
    closeMark = new ImageControl(this);
    closeMark->setObjectName("Image2");
    closeMark->setGeometry(260, 4, 32, 25);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");

    messageLabel = new QLabel("Tembrik\nUpdates available", this);
    messageLabel->setObjectName("sLabel1");
    messageLabel->setGeometry(69, 22, 147, 48);
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setFont(ProgramFont(FontFace::Sans, 19));
    QPalette green = messageLabel->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    messageLabel->setPalette(green);

    updateButton = MakeWindowButton(this, "sButton1", {150, 88, 129, 25}, "Update");
    closeButton = MakeWindowButton(this, "sButton2", {32, 88, 105, 25}, "Close");
    closeButton->setCursor(Qt::ArrowCursor);
    setTabOrder(updateButton, closeButton);

    connect(background, &ImageControl::pressedAt, this, &UpdateNotice::dragByBackground);
    connect(closeMark, &ImageControl::clicked, this, &UpdateNotice::onCloseMarkClicked);
    connect(updateButton, &QPushButton::clicked, this, &UpdateNotice::openDownloadPage);
    connect(closeButton, &QPushButton::clicked, this, &UpdateNotice::onCloseClicked);
    messageLabel->installEventFilter(this);
}

bool UpdateNotice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == messageLabel && event->type() == QEvent::MouseButtonPress)
        dragByMessage(static_cast<QMouseEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void UpdateNotice::showEvent(QShowEvent* e) {
    placeOnScreen();
    QWidget::showEvent(e);
}

void UpdateNotice::showModal() {
    // Owned by the main window, as the window manager must know to keep it above that window: the
    // check shows it while the user may be busy with the main window.
    if (theMainWindow && theMainWindow != parentWidget()) {
        theMainWindow->winId();
        winId();
        windowHandle()->setTransientParent(theMainWindow->windowHandle());
    }
    RunModal(this);
}
void UpdateNotice::placeOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(UpdateWindowPosition(screen ? screen->size() : QSize()));
}
void UpdateNotice::dragByBackground(QMouseEvent* e) {
    DragWindow(this, e);
}
void UpdateNotice::onCloseMarkClicked() {
    close();
}
void UpdateNotice::dragByMessage(QMouseEvent* e) {
    DragWindow(this, e);
}
void UpdateNotice::openDownloadPage() {
    // A browser that cannot be started is not reported.
    QDesktopServices::openUrl(QUrl(ProductSite() + "/"));
}
void UpdateNotice::onCloseClicked() {
    close();
}
