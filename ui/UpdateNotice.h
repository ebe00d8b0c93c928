#pragma once
// The notice that a newer release is available.
#include <QPoint>
#include <QSize>
#include <QWidget>

class ImageControl;
class QLabel;
class QMouseEvent;
class QPushButton;

class UpdateNotice : public QWidget {
    Q_OBJECT
public:
    explicit UpdateNotice(QWidget* parent = nullptr);

    ImageControl* background;
    ImageControl* closeMark; // click area over the painted close mark
    QLabel* messageLabel;
    QPushButton* updateButton; // Update
    QPushButton* closeButton;  // Close

    void showModal();
    void placeOnScreen();
    void dragByBackground(QMouseEvent* e);
    void onCloseMarkClicked();
    void dragByMessage(QMouseEvent* e);
    void openDownloadPage();
    void onCloseClicked();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Where the window stands on a screen of the given size: a little above its centre.
QPoint UpdateWindowPosition(const QSize& screen);

extern UpdateNotice* theUpdateNotice;
