#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr const char* ShowRequest = "show\n";
constexpr const char* ShownReply = "ok\n";

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

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& programDir, QObject* parent) : QObject(parent) {
    const QString base = RuntimeDir() + "/tembrik-" + InstanceKey(programDir);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".sock";
}

SingleInstance::~SingleInstance() {
    if (server_)
        server_->close();
    if (lockFd_ >= 0)
        ::close(lockFd_); // releases the lock; the file stays for the next copy
}

SingleInstance::Role SingleInstance::claim() {
    // The kernel drops the lock when this process ends however it ends, so a crashed copy never
    // keeps the directory.
    lockFd_ = ::open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(socketPath_); // left by a copy that crashed
        if (server_->listen(socketPath_))
            connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
        else
            qWarning("Tembrik: a later start cannot reach this copy: %s", qPrintable(server_->errorString()));
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
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(1000)) {
            socket.write(ShowRequest);
            socket.flush();
            while (socket.bytesAvailable() < 3 && socket.waitForReadyRead(int(deadline.remainingTime())))
                ;
            if (socket.readAll() == ShownReply)
                return Role::Second;
        }
        QThread::msleep(100);
    }
    return Role::Silent;
}

void SingleInstance::answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == ShowRequest) {
                if (onActivate)
                    onActivate();
                socket->write(ShownReply);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
