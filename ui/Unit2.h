#pragma once
// The Options window: settings, equalizer bands and buffer length.
#include <QWidget>

class ImageControl;
class QMouseEvent;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2; // click area over the painted close mark

    void ShowModal();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
};

extern TForm2* Form2;
