#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// $XDG_RUNTIME_DIR, or else a folder of this user's own in the temp folder. Another user can
// make that name first, as a folder or a link, and would then receive what later starts hand
// over: it is used only when it is a real folder of this user that nobody else may enter.
// Otherwise there is no folder, and `error` says why.
QString runtimeFolder(QString& error) {
    const QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    if (!dir.isEmpty()) return QString::fromLocal8Bit(dir);
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("tavro-%1").arg(::getuid()));
    const QByteArray path = QFile::encodeName(own);
    ::mkdir(path.constData(), 0700);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        error = QStringLiteral("cannot create %1").arg(own);
    else if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        error = QStringLiteral("%1 is not a private folder of this user").arg(own);
    return error.isEmpty() ? own : QString();
}

// A message is a 4-byte big-endian length, then the argument list and the activation token in
// QDataStream form. A process from before the token reads the list and ignores what follows; a
// message from such a process ends after the list.
QByteArray encode(const QStringList& arguments, const QString& activationToken) {
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << arguments << activationToken;
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    return message + payload;
}

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent),
      folder_(folder.isEmpty() ? runtimeFolder(folderError_) : std::move(folder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath() const {
    return QDir(folder_).filePath(QStringLiteral("tavro.lock"));
}

QString SingleInstance::serverName() const {
    return QDir(folder_).filePath(QStringLiteral("tavro.socket"));
}

bool SingleInstance::tryLock() {
    if (!folderError_.isEmpty()) {
        lockError_ = folderError_;
        return false;
    }
    lock_ = std::make_unique<QLockFile>(lockPath());
    // Never taken over by age: the app may run for weeks. A lock left by a process that died
    // is still recognised by its pid.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return true;
    heldByAnother_ = lock_->error() == QLockFile::LockFailedError;
    switch (lock_->error()) {
        case QLockFile::LockFailedError:
            lockError_ = QStringLiteral("another TAVRO is running");
            break;
        case QLockFile::PermissionError:
            lockError_ = QStringLiteral("cannot create %1").arg(lockPath());
            break;
        default:
            lockError_ = QStringLiteral("cannot lock %1").arg(lockPath());
            break;
    }
    lock_.reset();
    return false;
}

bool SingleInstance::listen() {
    if (!folderError_.isEmpty()) return false;
    // Only the lock makes this process the one: a socket file left by a crash is taken over.
    QLocalServer::removeServer(serverName());
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName())) return false;
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() < 4) return;
            const quint32 length = qFromBigEndian<quint32>(buffer->constData());
            if (length > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (buffer->size() < qsizetype(4 + length)) return;
            QDataStream in(buffer->mid(4, length));
            in.setVersion(QDataStream::Qt_6_4);
            QStringList arguments;
            QString token;
            in >> arguments;
            if (!in.atEnd()) in >> token;
            const bool ok = in.status() == QDataStream::Ok;
            // Answer so that the sender knows it was taken, then let it go.
            socket->write(ok ? "1" : "0");
            socket->disconnectFromServer();
            if (ok) emit received(arguments, token);
        });
    }
}

bool SingleInstance::forward(const QStringList& arguments, std::chrono::milliseconds wait) const {
    return forward(arguments, QString(), wait);
}

bool SingleInstance::forward(const QStringList& arguments, const QString& activationToken,
                             std::chrono::milliseconds wait) const {
    if (!folderError_.isEmpty()) return false;
    const QByteArray message = encode(arguments, activationToken);
    if (message.size() - 4 > kMaxMessageBytes) return false;
    QDeadlineTimer deadline(wait);
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(message);
            if (!socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1))))
                return false;
            // The first process answers once it has read the whole message.
            while (socket.bytesAvailable() < 1)
                if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
                    return false;
            return socket.read(1) == "1";
        }
        // The first process holds the lock but may not be listening yet.
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}
