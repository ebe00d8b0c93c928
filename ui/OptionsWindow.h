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

class OptionsWindow : public QWidget {
    Q_OBJECT
public:
    explicit OptionsWindow(QWidget* parent = nullptr);

    ImageControl* background; // background
    ImageControl* closeMark;  // click area over the painted close mark
    ImageControl* windowIcon; // window icon
    QLabel* titleLabel;
    RoundedPanel* panel;
    QCheckBox* autostartBox;    // Autostart with Windows
    QCheckBox* checkUpdatesBox; // Check for new versions
    QCheckBox* equalizerBox;    // Equalizer
    QCheckBox* openLastBox;     // Start recent radio station
    RoundedPanel* equalizerPanel;
    // Band k (1..10) is bandSliders[k - 1], the designer's sTrackBar(k + 1).
    std::array<SkinSlider*, 10> bandSliders{};
    QLabel* bufferLabel;
    SkinSlider* bufferSlider; // buffer seconds
    ShadowLabel* bufferSeconds;
    QPushButton* okButton;    // OK
    QPushButton* helpButton;  // Help
    QPushButton* applyButton; // Apply

    // Fills the window from PlayerState, places it and shows it modally; called while it shows, it
    // hides the window, which also ends the first call's modal wait.
    void showOptions();

    void openLastToggled();
    void checkUpdatesToggled();
    void autostartToggled();
    void equalizerToggled();
    void bandChanged(int band); // band 1..10's slider moved
    void bufferChanged();
    void apply(); // the Apply-time writer
    void onOkClicked();
    void openHelp();
    void onCloseMarkClicked();
    void dragByBackground(QMouseEvent* e);

    // Ticks the box when it is not ticked; its click handler runs as for a user's click.
    static void tick(QCheckBox* box);

protected:
    // The title label and the window's bare spots drag the window.
    void mousePressEvent(QMouseEvent* e) override;

private:
    void showBufferSeconds();
};

// Where the Options window opens on a screen of the given size.
QPoint OptionsPosition(const QSize& screen);

extern OptionsWindow* theOptionsWindow;
