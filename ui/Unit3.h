#pragma once
// The station editor: title, URL and engine of the current station.
#include <QWidget>

class ImageControl;
class QMouseEvent;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2; // click area over the painted close mark

    void ShowModal();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
};

extern TForm3* Form3;
