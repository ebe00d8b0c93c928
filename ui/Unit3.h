#pragma once
// The station editor: title, URL and engine of the open station, saved into its station file.
#include <QPoint>
#include <QSize>
#include <QWidget>

class ImageControl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class RoundedPanel;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    ImageControl* Image1; // background
    QLabel* sLabel1;
    ImageControl* Image4; // icon
    ImageControl* Image2; // click area over the painted close mark
    RoundedPanel* RbPanel1;
    ImageControl* Image3; // logo of the station
    QLineEdit* sEdit1;    // title
    QLineEdit* sEdit2;    // URL
    QCheckBox* sCheckBox1;
    QPushButton* sButton1; // SAVE
    QPushButton* sButton2; // OK

    void ShowModal();
    void FillEditorFromCurrentStation();
    void sButton1Click();
    void sButton2Click();
    void Image2Click();
    void sEdit1Click();
    void sEdit2Click();
    void Image1MouseDown(QMouseEvent* e);
    void sLabel1MouseDown(QMouseEvent* e);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Where the editor opens on a screen of the given size: left of and above its centre, as it always
// has (it may lie partly off a small screen).
QPoint EditorPosition(const QSize& screen);

extern TForm3* Form3;
