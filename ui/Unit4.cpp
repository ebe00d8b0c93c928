#include "Unit4.h"

#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : QWidget(parent) {
    setObjectName("Form4");
    Form4 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(302, 135), "Update", "update-background.png");
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(260, 4, 32, 25);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");
    connect(Image1, &ImageControl::pressedAt, this, &TForm4::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm4::Image2Click);
}

void TForm4::ShowModal() {
    RunModal(this);
}
void TForm4::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm4::Image2Click() {
    close();
}
