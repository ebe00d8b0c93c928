#pragma once
// The notice that a newer release is available.
#include <QWidget>

class ImageControl;
class QMouseEvent;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2; // click area over the painted close mark

    void ShowModal();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
};

extern TForm4* Form4;
