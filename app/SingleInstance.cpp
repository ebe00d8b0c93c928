#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char ShowRequest[] = "show\n";
constexpr char ShownReply[] = "ok\n";
// A peer that sends more than this without a line break is not a copy of ours.
constexpr qsizetype MaxRequestBytes = 64;

QString RuntimeDir() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.startsWith('/') && QDir(runtime).exists() ? runtime : QDir::tempPath();
}

QString InstanceKey(const std::filesystem::path& programDir) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::canonical(programDir, ec);
    if (ec)
        canonical = std::filesystem::absolute(programDir, ec);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(static_cast<qulonglong>(::getuid())) + '\0');
    hash.addData(QByteArray::fromStdString(canonical.string()));
    return QString::fromLatin1(hash.result().toHex().left(24));
}

// The socket's address; false when the path does not fit.
bool SocketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

// Asks the copy listening at `path` to show its window: true when it said it did.
bool AskToShow(const QString& path, const QDeadlineTimer& deadline) {
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool shown = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, ShowRequest, sizeof ShowRequest - 1, MSG_NOSIGNAL) == sizeof ShowRequest - 1) {
        QByteArray reply;
        pollfd p{fd, POLLIN, 0};
        while (reply.size() < 3 && !deadline.hasExpired() &&
               ::poll(&p, 1, static_cast<int>(qMin<qint64>(deadline.remainingTime(), 1000))) >= 0) {
            if (!(p.revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[8];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
        shown = reply == ShownReply;
    }
    ::close(fd);
    return shown;
}

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& programDir, QObject* parent) : QObject(parent) {
    const QString base = RuntimeDir() + "/tembrik-" + InstanceKey(programDir);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".sock";
}

SingleInstance::~SingleInstance() {
    while (!clients_.empty())
        drop(clients_.begin()->first);
    if (listenFd_ >= 0) {
        delete listener_;
        ::close(listenFd_);
        if (listening_)
            ::unlink(QFile::encodeName(socketPath_).constData());
    }
    if (lockFd_ >= 0)
        ::close(lockFd_); // releases the lock; the file stays for the next copy
}

SingleInstance::Role SingleInstance::claim() {
    // The kernel drops the lock when this process ends however it ends, so a crashed copy never
    // keeps the directory.
    lockFd_ = ::open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        listen();
        return Role::First;
    }
    if (lockFd_ < 0) {
        // Without a lock file the copies cannot agree; running is better than refusing to.
        qWarning("Tembrik: cannot open %s", qPrintable(lockPath_));
        return Role::First;
    }
    // The first copy may still be starting: it locks before it listens, and answers once its
    // windows exist.
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (AskToShow(socketPath_, deadline))
            return Role::Second;
        QThread::msleep(100);
    }
    return Role::Silent;
}

void SingleInstance::listen() {
    sockaddr_un address;
    const QByteArray path = QFile::encodeName(socketPath_);
    const char* why = "the socket's path is too long";
    if (SocketAddress(socketPath_, address)) {
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::unlink(path.constData()); // left by a copy that crashed; we hold the lock
        // Only this user may connect: the socket is made without rights for group and others.
        const mode_t mask = ::umask(077);
        const bool bound = listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address),
                                                    sizeof address) == 0;
        ::umask(mask);
        listening_ = bound && ::listen(listenFd_, 8) == 0;
        why = std::strerror(errno);
    }
    if (!listening_) {
        qWarning("Tembrik: a later start cannot reach this copy: %s", why);
        return;
    }
    listener_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, &SingleInstance::accept);
}

void SingleInstance::accept() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        clients_[fd] = Client{notifier, {}};
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { read(fd); });
    }
}

void SingleInstance::read(int fd) {
    const auto found = clients_.find(fd);
    if (found == clients_.end())
        return;
    QByteArray& received = found->second.received;
    char buffer[64];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        drop(fd);
        return;
    }
    received.append(buffer, n);
    const qsizetype end = received.indexOf('\n');
    if (end < 0 && received.size() <= MaxRequestBytes)
        return;
    if (received.left(end + 1) == ShowRequest) {
        if (onActivate)
            onActivate();
        ::send(fd, ShownReply, sizeof ShownReply - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    drop(fd);
}

void SingleInstance::drop(int fd) {
    const auto found = clients_.find(fd);
    if (found == clients_.end())
        return;
    // Called from the notifier's own signal: it goes once that has returned.
    found->second.notifier->setEnabled(false);
    found->second.notifier->deleteLater();
    clients_.erase(found);
    ::close(fd);
}
