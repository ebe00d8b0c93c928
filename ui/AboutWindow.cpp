#include "AboutWindow.h"

#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTextEdit>

AboutWindow* theAboutWindow = nullptr;

const char* const HotKeyListLines[8] = {
    "Hot keys:",
    "Show/Hide - Ctrl + Shift + F5",
    "Volume Down -  Ctrl + Shift + F8",
    "Volume Up - Ctrl + Shift + F9",
    "Play - Ctrl + Shift + F10 ",
    "Record - Ctrl + Shift + F11",
    "Stop - Ctrl + Shift + F12",
    "",
};

namespace {

constexpr const char* DeveloperName = "Tembrik team";

QLabel* MakeLabel(QWidget* parent, QRect place, const QString& text, const QFont& font,
                  const QColor& colour) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(place);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("Form5");
    theAboutWindow = this;
    background =
        SetUpSkinnedWindow(this, QSize(305, 164), "Версия", "about-background.png", SkinLoad::AtFirstShow);
    move(432, 210);
    closeMark = new ImageControl(this);
    closeMark->setObjectName("Image2");
    closeMark->setGeometry(264, 4, 32, 26);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");

    versionLabel =
        MakeLabel(this, {16, 8, 177, 24}, "Tembrik Dave 2.5", ProgramFont(FontFace::Sans, 19), Qt::black);
    versionLabel->setObjectName("sLabel1");

    QFont link = ProgramFont(FontFace::Sans, 11);
    link.setUnderline(true);
    developerLink =
        MakeLabel(this, {16, 32, 130, 13}, QString("Developer: ") + DeveloperName, link, Qt::blue);
    developerLink->setObjectName("sLabel2");
    developerLink->setCursor(Qt::PointingHandCursor);
    developerLink->setToolTip("The developer's page on the Tembrik site");

    hotKeyList = new QTextEdit(this);
    hotKeyList->setObjectName("Memo1");
    hotKeyList->setGeometry(112, 56, 161, 97);
    hotKeyList->setAcceptRichText(false);
    hotKeyList->setFrameShape(QFrame::NoFrame);
    // A plain memo without scroll bars; lines too long for the substitute font wrap.
    hotKeyList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hotKeyList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hotKeyList->setFont(ProgramFont(FontFace::Sans, 11));
    QTextOption right = hotKeyList->document()->defaultTextOption();
    right.setAlignment(Qt::AlignRight);
    hotKeyList->document()->setDefaultTextOption(right);
    QPalette white = hotKeyList->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    hotKeyList->setPalette(white);
    QStringList lines;
    for (const char* line : HotKeyListLines)
        lines << QString::fromUtf8(line);
    hotKeyList->setPlainText(lines.join('\n'));

    siteButton = new QPushButton("Site", this);
    siteButton->setObjectName("sButton1");
    siteButton->setGeometry(16, 130, 73, 25);
    siteButton->setCursor(Qt::PointingHandCursor);

    connect(background, &ImageControl::pressedAt, this, &AboutWindow::dragByBackground);
    connect(closeMark, &ImageControl::clicked, this, &AboutWindow::onCloseMarkClicked);
    connect(siteButton, &QPushButton::clicked, this, &AboutWindow::openSite);
    developerLink->installEventFilter(this);
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == developerLink && event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton &&
            developerLink->rect().contains(release->position().toPoint()))
            openDeveloperPage();
    }
    return QWidget::eventFilter(watched, event);
}

void AboutWindow::showModal() {
    RunModal(this);
}
void AboutWindow::dragByBackground(QMouseEvent* e) {
    DragWindow(this, e);
}
void AboutWindow::onCloseMarkClicked() {
    close();
}
void AboutWindow::openSite() {
    OpenProductPage(HomePage);
}
void AboutWindow::openDeveloperPage() {
    OpenProductPage(DeveloperPage);
}
