#include "Unit2.h"

#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
    setObjectName("Form2");
    Form2 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(305, 374), "Options", "options-background.png");
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(264, 4, 32, 26);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");
    connect(Image1, &ImageControl::pressedAt, this, &TForm2::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm2::Image2Click);
}

void TForm2::ShowModal() {
    RunModal(this);
}
void TForm2::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm2::Image2Click() {
    close();
}
