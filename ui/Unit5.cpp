#include "Unit5.h"

#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : QWidget(parent) {
    setObjectName("Form5");
    Form5 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(305, 164), "Версия", "about-background.png");
    move(432, 210);
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(264, 4, 32, 26);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");
    connect(Image1, &ImageControl::pressedAt, this, &TForm5::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm5::Image2Click);
}

void TForm5::ShowModal() {
    RunModal(this);
}
void TForm5::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm5::Image2Click() {
    close();
}
