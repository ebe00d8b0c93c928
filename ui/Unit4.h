#pragma once
// The notice that a newer release is available.
#include <QPoint>
#include <QSize>
#include <QWidget>

class ImageControl;
class QLabel;
class QMouseEvent;
class QPushButton;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2; // click area over the painted close mark
    QLabel* sLabel1;
    QPushButton* sButton1; // Update
    QPushButton* sButton2; // Close

    void ShowModal();
    void FormShow();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
    void sLabel1MouseDown(QMouseEvent* e);
    void sButton1Click();
    void sButton2Click();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Where the window stands on a screen of the given size: a little above its centre.
QPoint UpdateWindowPosition(const QSize& screen);

extern TForm4* Form4;
