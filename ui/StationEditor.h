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

class StationEditor : public QWidget {
    Q_OBJECT
public:
    explicit StationEditor(QWidget* parent = nullptr);

    ImageControl* background; // background
    QLabel* titleLabel;
    ImageControl* windowIcon; // icon
    ImageControl* closeMark;  // click area over the painted close mark
    RoundedPanel* panel;
    ImageControl* logo;   // logo of the station
    QLineEdit* titleEdit; // title
    QLineEdit* urlEdit;   // URL
    QCheckBox* secondPlayerBox;
    QPushButton* saveButton; // SAVE
    QPushButton* okButton;   // OK

    void showModal();
    void fillFromCurrentStation();
    void save();
    void onOkClicked();
    void onCloseMarkClicked();
    void titleEditClicked();
    void urlEditClicked();
    void dragByBackground(QMouseEvent* e);
    void dragByTitle(QMouseEvent* e);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Where the editor opens on a screen of the given size: left of and above its centre, as it always
// has (it may lie partly off a small screen).
QPoint EditorPosition(const QSize& screen);

extern StationEditor* theStationEditor;
