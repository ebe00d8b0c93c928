#pragma once
#include <QString>
#include <functional>

class QWidget;

// The error box every failing handler ends in: stop icon, the application's title as caption and
// the error's text. Tests replace the box with a recorder.
void ShowErrorBox(const QString& text, QWidget* parent = nullptr);

// The program's own one-button messages ("Turn off WMP engine." and the like).
void ShowMessage(const QString& text, QWidget* parent = nullptr);

using MessageBoxHook = std::function<void(const QString& text, bool isError)>;
void SetMessageBoxHookForTesting(MessageBoxHook hook);
