#include "SkinnedWindow.h"

#include "widgets/ImageControl.h"

#include "tembrik/platform/Errors.h"
#include "tembrik/platform/ProgramDir.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegion>
#include <QWidget>
#include <QWindow>

QPixmap LoadProgramPicture(const QString& name) {
    const QString path =
        QString::fromStdString((tembrik::platform::programDir() / name.toStdString()).string());
    if (!QFile::exists(path))
        throw tembrik::platform::FileError::notFound();
    QPixmap p(path);
    if (p.isNull())
        throw tembrik::platform::FileError("Bitmap image is not valid");
    return p;
}

void ShapeWindowFromPicture(QWidget* window, const QPixmap& picture) {
    // A bitmap whose set bits are the window: everything but pure lime.
    const QBitmap visible = picture.createMaskFromColor(QColor(0, 255, 0), Qt::MaskInColor);
    window->setMask(QRegion(visible).intersected(QRect(QPoint(0, 0), window->size())));
}

ImageControl* SetUpSkinnedWindow(QWidget* window, QSize clientSize, const QString& caption,
                                 const QString& background) {
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setFixedSize(clientSize);
    window->setWindowTitle(caption);
    QIcon icon;
    for (const char* name : {"tembrik-16.png", "tembrik-32.png", "tembrik-48.png"}) {
        const QString path = QString::fromStdString((tembrik::platform::programDir() / name).string());
        if (QFile::exists(path))
            icon.addFile(path);
    }
    window->setWindowIcon(icon);
    window->setFont(ProgramFont(FontFace::Sans, 11));

    auto* image1 = new ImageControl(window);
    image1->setObjectName("Image1");
    image1->setGeometry(QRect(QPoint(0, 0), clientSize));
    image1->setAccessibleName(caption);
    try {
        const QPixmap picture = LoadProgramPicture(background);
        image1->setPicture(picture);
        ShapeWindowFromPicture(window, picture);
    } catch (const tembrik::platform::FileError&) {
        // Without its picture the window stays a plain rectangle; it still works.
    }
    return image1;
}

namespace {

// Moves a window with the pointer until the buttons are released, for window systems that offer
// no move of their own. A child of the window, so it goes with it.
class ManualMove : public QObject {
public:
    static constexpr const char* Name = "ManualMove";

    ManualMove(QWidget* window, QPoint pointer) : QObject(window), window_(window) {
        setObjectName(Name);
        offset_ = pointer - window->pos();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseMove) {
            window_->move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - offset_);
        } else if (e->type() == QEvent::MouseButtonRelease) {
            if (static_cast<QMouseEvent*>(e)->buttons() == Qt::NoButton) {
                qApp->removeEventFilter(this);
                setObjectName(QString()); // a new press may start the next move before this one goes
                deleteLater();
            }
        }
        return false;
    }

private:
    QWidget* window_;
    QPoint offset_;
};

} // namespace

bool DragWindow(QWidget* window, QMouseEvent* event) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (window->findChild<QObject*>(ManualMove::Name, Qt::FindDirectChildrenOnly))
        return false; // already following the pointer
    // Qt tells the window manager that button 1 drives its move, and a manager that waits for that
    // button's release would go on moving after another button is let go: the window follows the
    // pointer itself for the other buttons.
    const bool leftButton = !event || event->button() == Qt::LeftButton;
    if (QWindow* handle = window->windowHandle(); leftButton && handle && handle->startSystemMove())
        return true;
    const QPoint pointer = event ? event->globalPosition().toPoint() : QCursor::pos();
    new ManualMove(window, pointer);
    return false;
}

QFont ProgramFont(FontFace face, int pixelHeight, bool bold) {
    QFont f;
    switch (face) {
    case FontFace::Gothic:
        f.setFamilies({"Century Gothic", "TeX Gyre Adventor", "URW Gothic", "DejaVu Sans"});
        break;
    case FontFace::Narrow:
        f.setFamilies(
            {"Arial Narrow", "Liberation Sans Narrow", "Nimbus Sans Narrow", "DejaVu Sans Condensed"});
        break;
    case FontFace::Sans:
        f.setFamilies({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"});
        break;
    }
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPushButton* MakeWindowButton(QWidget* parent, const char* name, QRect place, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(place);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

void RunModal(QWidget* window) {
    QEventLoop loop;
    // The loop ends when the window hides, whichever way it was closed.
    struct HideWatcher : QObject {
        QEventLoop* loop;
        explicit HideWatcher(QEventLoop* l) : loop(l) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Hide)
                loop->quit();
            return false;
        }
    } watcher(&loop);
    window->installEventFilter(&watcher);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    window->raise();
    window->activateWindow();
    if (window->isVisible())
        loop.exec();
    window->removeEventFilter(&watcher);
}
