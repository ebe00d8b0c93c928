#pragma once
// The About window: version, developer and site links, hot-key list.
#include <QWidget>

class ImageControl;
class QLabel;
class QMouseEvent;
class QPushButton;
class QTextEdit;

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    ImageControl* background;
    ImageControl* closeMark; // click area over the painted close mark
    QLabel* versionLabel;    // product and version
    QLabel* developerLink;   // link to the developer's page
    QTextEdit* hotKeyList;   // the hot-key list; the user may type into it
    QPushButton* siteButton; // "Site"

    void showModal();
    void dragByBackground(QMouseEvent* e);
    void onCloseMarkClicked();
    void openSite();
    void openDeveloperPage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The hot-key list the About window shows, one entry per line (the last line is empty).
extern const char* const HotKeyListLines[8];

extern AboutWindow* theAboutWindow;
