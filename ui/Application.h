#pragma once
#include <QApplication>

// The program's application object. An error that escapes an event handler ends that handler
// only: it is shown in the error box with its text and the program goes on, as every handler
// that reads a file or converts a number expects. Without this Qt would end the process.
class TembrikApplication : public QApplication {
public:
    TembrikApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
