#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageBoxHook hook; // GUI thread only
}

void SetMessageBoxHookForTesting(MessageBoxHook h) {
    hook = std::move(h);
}

void ShowErrorBox(const QString& text, QWidget* parent) {
    if (hook) {
        hook(text, true);
        return;
    }
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

void ShowMessage(const QString& text, QWidget* parent) {
    if (hook) {
        hook(text, false);
        return;
    }
    QMessageBox::information(parent, QApplication::applicationName(), text);
}
