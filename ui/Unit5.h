#pragma once
// The About window: version, developer and site links, hot-key list.
#include <QWidget>

class ImageControl;
class QMouseEvent;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2; // click area over the painted close mark

    void ShowModal();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
};

extern TForm5* Form5;
