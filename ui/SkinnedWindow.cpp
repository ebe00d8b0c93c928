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
#include <QImageReader>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <utility>

QPixmap LoadProgramPicture(const QString& name) {
    const QString path =
        QString::fromStdString((tembrik::platform::programDir() / name.toStdString()).string());
    if (!QFile::exists(path))
        throw tembrik::platform::FileError::notFound();
    // The program's pictures are all PNG. Naming the format alone would still have Qt ask every
    // image plugin (GIF, ICO, JPEG with libjpeg) whether it reads "png", loading each into the
    // process; without the guessing, only the built-in PNG reader runs.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull())
        throw tembrik::platform::FileError("Bitmap image is not valid");
    return QPixmap::fromImage(image);
}

void ShapeWindowFromPicture(QWidget* window, const QPixmap& picture) {
    // A bitmap whose set bits are the window: everything but pure lime.
    const QBitmap visible = picture.createMaskFromColor(QColor(0, 255, 0), Qt::MaskInColor);
    window->setMask(QRegion(visible).intersected(QRect(QPoint(0, 0), window->size())));
}

namespace {

void ShowBackground(QWidget* window, ImageControl* image, const QString& background) {
    try {
        const QPixmap picture = LoadProgramPicture(background);
        image->setPicture(picture);
        ShapeWindowFromPicture(window, picture);
    } catch (const tembrik::platform::FileError&) {
        // Without its picture the window stays a plain rectangle; it still works.
    }
}

// Puts the background picture on a window and shapes it when the window is first shown: the Show
// event comes before the window is mapped, so the first frame already has both. A child of the
// window; lives on the GUI thread with it.
class BackgroundAtFirstShow : public QObject {
public:
    BackgroundAtFirstShow(QWidget* window, ImageControl* image, QString background)
        : QObject(window), window_(window), image_(image), background_(std::move(background)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == window_ && e->type() == QEvent::Show) {
            window_->removeEventFilter(this);
            ShowBackground(window_, image_, background_);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window_;
    ImageControl* image_;
    QString background_;
};

QIcon ProgramIcon() {
    QIcon icon;
    for (const char* name : {"tembrik-16.png", "tembrik-32.png", "tembrik-48.png"}) {
        try {
            icon.addPixmap(LoadProgramPicture(name));
        } catch (const tembrik::platform::FileError&) {
            // A size that is missing is drawn from the others.
        }
    }
    return icon;
}

} // namespace

ImageControl* SetUpSkinnedWindow(QWidget* window, QSize clientSize, const QString& caption,
                                 const QString& background, SkinLoad when) {
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setFixedSize(clientSize);
    window->setWindowTitle(caption);
    window->setWindowIcon(ProgramIcon());
    window->setFont(ProgramFont(FontFace::Sans, 11));

    auto* image1 = new ImageControl(window);
    image1->setObjectName("Image1");
    image1->setGeometry(QRect(QPoint(0, 0), clientSize));
    image1->setAccessibleName(caption);
    if (when == SkinLoad::Now)
        ShowBackground(window, image1, background);
    else
        new BackgroundAtFirstShow(window, image1, background);
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
