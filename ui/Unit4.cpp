#include "Unit4.h"

#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "Unit1.h"
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

TForm4* Form4 = nullptr;

namespace {} // namespace

QPoint UpdateWindowPosition(const QSize& screen) {
    return {screen.width() / 2 - 150, screen.height() / 2 - 100};
}

TForm4::TForm4(QWidget* parent) : QWidget(parent) {
    setObjectName("Form4");
    Form4 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(302, 135), "Update", "update-background.png");
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(260, 4, 32, 25);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");

    sLabel1 = new QLabel("Tembrik\nUpdates available", this);
    sLabel1->setObjectName("sLabel1");
    sLabel1->setGeometry(69, 22, 147, 48);
    sLabel1->setAlignment(Qt::AlignCenter);
    sLabel1->setFont(ProgramFont(FontFace::Sans, 19));
    QPalette green = sLabel1->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    sLabel1->setPalette(green);

    sButton1 = MakeWindowButton(this, "sButton1", {150, 88, 129, 25}, "Update");
    sButton2 = MakeWindowButton(this, "sButton2", {32, 88, 105, 25}, "Close");
    sButton2->setCursor(Qt::ArrowCursor);
    setTabOrder(sButton1, sButton2);

    connect(Image1, &ImageControl::pressedAt, this, &TForm4::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm4::Image2Click);
    connect(sButton1, &QPushButton::clicked, this, &TForm4::sButton1Click);
    connect(sButton2, &QPushButton::clicked, this, &TForm4::sButton2Click);
    sLabel1->installEventFilter(this);
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sLabel1 && event->type() == QEvent::MouseButtonPress)
        sLabel1MouseDown(static_cast<QMouseEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void TForm4::showEvent(QShowEvent* e) {
    FormShow();
    QWidget::showEvent(e);
}

void TForm4::ShowModal() {
    // Owned by the main window, as the window manager must know to keep it above that window: the
    // check shows it while the user may be busy with the main window.
    if (Form1 && Form1 != parentWidget()) {
        Form1->winId();
        winId();
        windowHandle()->setTransientParent(Form1->windowHandle());
    }
    RunModal(this);
}
void TForm4::FormShow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(UpdateWindowPosition(screen ? screen->size() : QSize()));
}
void TForm4::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm4::Image2Click() {
    close();
}
void TForm4::sLabel1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm4::sButton1Click() {
    // A browser that cannot be started is not reported.
    QDesktopServices::openUrl(QUrl(ProductSite() + "/"));
}
void TForm4::sButton2Click() {
    close();
}
