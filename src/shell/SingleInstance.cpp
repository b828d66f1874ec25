#include "shell/SingleInstance.h"

#include "platform/AppPaths.h"
#include "window/Dispatch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QByteArray RaiseRequest = "raise\n";
const QByteArray RaiseAnswer = "ok\n";
// Each step of a request between two runs of one user on one machine.
constexpr int RequestStepMs = 2000;

// The settings file's full path with its folder's links resolved, so two
// spellings of one folder name one run.
QString CanonicalPath(const QString &file) {
    const QFileInfo info(file);
    const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (dir.isEmpty() ? info.absolutePath() : dir) + QLatin1Char('/') + info.fileName();
}

} // namespace

SingleInstance::SingleInstance(const QString &settingsFile, QObject *parent)
    : QObject(parent), lockFile_(LockFileFor(settingsFile)),
      serverName_(ServerNameFor(settingsFile)) {}

SingleInstance::~SingleInstance() {
    StopListening();
    if (fd_ >= 0)
        ::close(fd_); // lets go of the lock
}

QString SingleInstance::LockFileFor(const QString &settingsFile) {
    return AppPaths::ReplaceExtension(settingsFile, QStringLiteral(".lock"));
}

QString SingleInstance::ServerNameFor(const QString &settingsFile) {
    // A socket of this user's, in the user's runtime folder where there is
    // one; a hash keeps the name within a socket address's length.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    const QByteArray hash =
        QCryptographicHash::hash(CanonicalPath(settingsFile).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(20);
    return dir + QStringLiteral("/quorane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::Claimed SingleInstance::Claim() {
    // An installed copy's folder may not be there yet on the first run.
    QDir().mkpath(QFileInfo(lockFile_).absolutePath());
    fd_ = ::open(QFile::encodeName(lockFile_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return Claimed::Unguarded;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            Listen();
            return Claimed::First;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return Claimed::Unguarded;
        if (AskToRaise() || waited.elapsed() > ClaimWaitMs) {
            ::close(fd_);
            fd_ = -1;
            return Claimed::Another;
        }
        QThread::msleep(50);
    }
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by a run that was killed: only the lock's holder
    // listens, so it is no one's now.
    QLocalServer::removeServer(serverName_);
    if (!server_->listen(serverName_)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    Connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

void SingleInstance::StopListening() {
    if (!server_)
        return;
    server_->close();
    delete server_;
    server_ = nullptr;
}

void SingleInstance::OnConnection() {
    while (server_ && server_->hasPendingConnections()) {
        QLocalSocket *socket = server_->nextPendingConnection();
        Connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One short line is all a request is; anything else is dropped.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > RaiseRequest.size())
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(RaiseRequest.size() + 1);
            if (line != RaiseRequest) {
                socket->abort();
                return;
            }
            socket->write(RaiseAnswer);
            socket->disconnectFromServer();
            Q_EMIT RaiseRequested();
        });
    }
}

bool SingleInstance::AskToRaise() const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(RequestStepMs))
        return false;
    socket.write(RaiseRequest);
    if (!socket.waitForBytesWritten(RequestStepMs))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() <= RaiseAnswer.size() &&
           socket.waitForReadyRead(RequestStepMs))
        answer += socket.readAll();
    return answer == RaiseAnswer;
}
