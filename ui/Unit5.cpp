#include "Unit5.h"

#include "ProductSite.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTextEdit>

TForm5* Form5 = nullptr;

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

QLabel* MakeLabel(QWidget* parent, const char* name, QRect place, const QString& text, const QFont& font,
                  const QColor& colour) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(place);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}

} // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent) {
    setObjectName("Form5");
    Form5 = this;
    Image1 = SetUpSkinnedWindow(this, QSize(305, 164), "Версия", "about-background.png");
    move(432, 210);
    Image2 = new ImageControl(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(264, 4, 32, 26);
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setAccessibleName("Close");

    sLabel1 = MakeLabel(this, "sLabel1", {16, 8, 177, 24}, "Tembrik Dave 2.5",
                        ProgramFont(FontFace::Sans, 19), Qt::black);

    QFont link = ProgramFont(FontFace::Sans, 11);
    link.setUnderline(true);
    sLabel2 =
        MakeLabel(this, "sLabel2", {16, 32, 130, 13}, QString("Developer: ") + DeveloperName, link, Qt::blue);
    sLabel2->setCursor(Qt::PointingHandCursor);
    sLabel2->setToolTip("The developer's page on the Tembrik site");

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(112, 56, 161, 97);
    Memo1->setAcceptRichText(false);
    Memo1->setFrameShape(QFrame::NoFrame);
    // A plain memo without scroll bars; lines too long for the substitute font wrap.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setFont(ProgramFont(FontFace::Sans, 11));
    QTextOption right = Memo1->document()->defaultTextOption();
    right.setAlignment(Qt::AlignRight);
    Memo1->document()->setDefaultTextOption(right);
    QPalette white = Memo1->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(white);
    QStringList lines;
    for (const char* line : HotKeyListLines)
        lines << QString::fromUtf8(line);
    Memo1->setPlainText(lines.join('\n'));

    sButton1 = new QPushButton("Site", this);
    sButton1->setObjectName("sButton1");
    sButton1->setGeometry(16, 130, 73, 25);
    sButton1->setCursor(Qt::PointingHandCursor);

    connect(Image1, &ImageControl::pressedAt, this, &TForm5::Image1MouseDown);
    connect(Image2, &ImageControl::clicked, this, &TForm5::Image2Click);
    connect(sButton1, &QPushButton::clicked, this, &TForm5::sButton1Click);
    sLabel2->installEventFilter(this);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sLabel2 && event->type() == QEvent::MouseButtonRelease) {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton && sLabel2->rect().contains(release->position().toPoint()))
            sLabel2Click();
    }
    return QWidget::eventFilter(watched, event);
}

void TForm5::ShowModal() {
    RunModal(this);
}
void TForm5::Image1MouseDown(QMouseEvent* e) {
    DragWindow(this, e);
}
void TForm5::Image2Click() {
    close();
}
void TForm5::sButton1Click() {
    OpenProductPage(HomePage);
}
void TForm5::sLabel2Click() {
    OpenProductPage(DeveloperPage);
}
