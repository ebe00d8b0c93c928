#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tembrik::mediaplayer::test {

// Starts a helper program that dies with the test process even if the test crashes, so no server
// or recorder outlives its test.
void startChild(QProcess& process, const QString& program, const QStringList& arguments);

// Asks the helper to end, and kills it if it does not within a second.
void stopChild(QProcess& process);

} // namespace tembrik::mediaplayer::test
