#pragma once
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;
class QMouseEvent;
class ImageControl;
class QPushButton;

// When a skinned window decodes its background picture and takes its shape from it.
enum class SkinLoad {
    Now,         // the main window, shown as soon as it exists
    AtFirstShow, // a secondary window, which the user may never open: its picture is not held until then
};

// Shared set-up of the program's borderless windows: fixed client size, caption, icon, the
// background control (returned; each window keeps it as its `background`), and the background
// picture with the window shape from its pure-lime pixels. A missing or broken picture leaves a
// plain rectangular window, whenever it is loaded.
ImageControl* SetUpSkinnedWindow(QWidget* window, QSize clientSize, const QString& caption,
                                 const QString& background, SkinLoad when = SkinLoad::Now);

// Applies the window shape: every pure-lime pixel of the picture becomes see-through.
void ShapeWindowFromPicture(QWidget* window, const QPixmap& picture);

// Loads a PNG picture from the program directory; a missing or broken file raises FileError.
QPixmap LoadProgramPicture(const QString& name);

// Starts moving the window for a press of any mouse button on one of its drag areas: the window
// manager's own move for the left button where it offers one (true), else the window follows the
// pointer until the buttons are released (false).
bool DragWindow(QWidget* window, QMouseEvent* event);

// The program's fonts. The families the windows were designed with come first; the fallbacks are
// close shapes that Debian ships (see scripts/packages-run.txt).
enum class FontFace { Gothic, Narrow, Sans };
QFont ProgramFont(FontFace face, int pixelHeight, bool bold = false);

// A push button of a skinned window at its place, with the hand cursor.
QPushButton* MakeWindowButton(QWidget* parent, const char* name, QRect place, const char* caption);

// Shows the window modally and returns when it is hidden or closed, as a modal form does.
void RunModal(QWidget* window);
