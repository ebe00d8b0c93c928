#pragma once
// The Options window: start at login, the update check, reopening the last station, the network
// buffer length and the ten-band equalizer. Most controls act on PlayerState at once; "Apply" writes
// config.txt and equalizer.txt. Everything here runs on the GUI thread.
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <array>

class ImageControl;
class QCheckBox;
class QLabel;
class QMouseEvent;
class QPushButton;
class RoundedPanel;
class ShadowLabel;
class SkinSlider;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    ImageControl* Image1; // background
    ImageControl* Image2; // click area over the painted close mark
    ImageControl* Image3; // window icon
    QLabel* sLabel1;
    RoundedPanel* RbPanel1;
    QCheckBox* sCheckBox3; // Autostart with Windows
    QCheckBox* sCheckBox2; // Check for new versions
    QCheckBox* sCheckBox4; // Equalizer
    QCheckBox* sCheckBox1; // Start recent radio station
    RoundedPanel* RbPanel2;
    // Band k (1..10) is BandSliders[k - 1], the designer's sTrackBar(k + 1).
    std::array<SkinSlider*, 10> BandSliders{};
    QLabel* sLabel2;
    SkinSlider* sTrackBar1; // buffer seconds
    ShadowLabel* RxLabel1;
    QPushButton* sButton1; // OK
    QPushButton* sButton3; // Help
    QPushButton* sBitBtn1; // Apply

    // Fills the window from PlayerState, places it and shows it modally; called while it shows, it
    // hides the window, which also ends the first call's modal wait.
    void OptionsOpen();

    void sCheckBox1Click();
    void sCheckBox2Click();
    void sCheckBox3Click();
    void sCheckBox4Click();
    void BandChange(int band); // sTrackBar2Change .. sTrackBar11Change
    void sTrackBar1Change();
    void sBitBtn1Click(); // the Apply-time writer
    void sButton1Click();
    void sButton3Click();
    void Image2Click();
    void Image1MouseDown(QMouseEvent* e);

    // Ticks the box when it is not ticked; its click handler runs as for a user's click.
    static void Tick(QCheckBox* box);

protected:
    // The title label and the window's bare spots drag the window.
    void mousePressEvent(QMouseEvent* e) override;

private:
    void ShowBufferSeconds();
};

// Where the Options window opens on a screen of the given size.
QPoint OptionsPosition(const QSize& screen);

extern TForm2* Form2;
