#pragma once
// Reports from stream workers and the audio library's threads to the main window. A report is a
// synchronous call: the sender waits until the GUI thread has handled it, so text passed with it
// stays valid and one thread's reports arrive in the order it sent them. Once the channel is
// closed (the program is ending), senders return at once instead of waiting on a GUI thread that
// no longer handles events, so shutdown can never deadlock on a report.
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>

enum StatusCode : int {
    StatusConnecting = 0,
    StatusFailed = 1,
    StatusBuffering = 2,
    StatusTitle = 7,
    StatusHeaders = 8,
};

struct StatusReport {
    StatusCode code;
    int value = 0; // StatusBuffering: the buffer fill in percent
    QString text;  // StatusTitle: the title; StatusHeaders: the response header text
};

class StatusChannel {
public:
    using Handler = std::function<void(const StatusReport&)>;

    // The receiver lives on the GUI thread; handler runs there, in the receiver's context.
    void open(QObject* receiver, Handler handler);
    // Releases every waiting sender and makes later sends return at once. GUI thread.
    void close();

    // Any thread. Returns true when the report was handled, false when the channel is closed.
    bool send(const StatusReport& report);

private:
    struct Pending;
    std::mutex mutex_;
    std::condition_variable handled_;
    QObject* receiver_ = nullptr;       // guarded by mutex_
    Handler handler_;                   // set on the GUI thread before any send; read there only
    bool closed_ = true;                // guarded by mutex_
    unsigned long long generation_ = 0; // guarded by mutex_: bumped by close() so stale waits end
};

// The one channel of the program, to the main window.
StatusChannel& MainStatusChannel();
