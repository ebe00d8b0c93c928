#pragma once
// One running copy per program directory. The first copy holds a lock and listens on a local socket,
// both named after the program directory's canonical path (and the user); a later start from the
// same directory asks it to show its main window and ends. Copies from other directories are other
// programs and run side by side. GUI thread only.
//
// The socket is a plain Unix socket watched by QSocketNotifier: Qt's local sockets live in
// QtNetwork, which with its Kerberos and proxy libraries would cost every running copy more memory
// than all of this.
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <map>

class QSocketNotifier;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,  // this copy runs the program
        Second, // the running copy was asked to show its window; this one ends with status 0
        Silent, // a copy holds the directory but does not answer
    };

    explicit SingleInstance(const std::filesystem::path& programDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    Role claim();

    // Called in the first copy whenever a later start asks for the window.
    std::function<void()> onActivate;

    // The lock file and socket paths, in $XDG_RUNTIME_DIR (the temporary folder without it).
    const QString& lockPath() const { return lockPath_; }
    const QString& socketPath() const { return socketPath_; }

private:
    void listen();
    void accept();
    void read(int fd);
    void drop(int fd);

    QString lockPath_;
    QString socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    QSocketNotifier* listener_ = nullptr;
    struct Client {
        QSocketNotifier* notifier;
        QByteArray received;
    };
    std::map<int, Client> clients_; // by descriptor
    bool listening_ = false;
};
