#pragma once
// The About window: version, developer and site links, hot-key list.
#include <QWidget>

class ImageControl;
class QLabel;
class QMouseEvent;
class QPushButton;
class QTextEdit;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    ImageControl* Image1;
    ImageControl* Image2;  // click area over the painted close mark
    QLabel* sLabel1;       // product and version
    QLabel* sLabel2;       // link to the developer's page
    QTextEdit* Memo1;      // the hot-key list; the user may type into it
    QPushButton* sButton1; // "Site"

    void ShowModal();
    void Image1MouseDown(QMouseEvent* e);
    void Image2Click();
    void sButton1Click();
    void sLabel2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The hot-key list the About window shows, one entry per line (the last line is empty).
extern const char* const HotKeyListLines[8];

extern TForm5* Form5;
