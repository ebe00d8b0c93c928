#include "Unit3.h"

#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QWidget(parent) {
    setObjectName("Form3");
    Form3 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(497, 164), "Editor", "editor-background.png");
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(457, 4, 32, 25);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");
    connect(Image1, &ImageControl::pressedAt, this, &TForm3::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm3::Image2Click);
}

void TForm3::ShowModal() {
    RunModal(this);
}
void TForm3::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm3::Image2Click() {
    close();
}
