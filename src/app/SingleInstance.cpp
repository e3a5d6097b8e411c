#include "app/SingleInstance.h"

#include "link/Events.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int kHandOverMs = 2000;

QString RuntimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}
} // namespace

CSingleInstance::CSingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    const QDir dir(RuntimeFolder());
    m_strLockPath = dir.filePath(name + QStringLiteral(".lock"));
    m_strSocketPath = dir.filePath(name);
}

CSingleInstance::~CSingleInstance() {
    if (m_pServer)
        m_pServer->close();
}

CSingleInstance::Result CSingleInstance::Acquire(const QString& file) {
    m_pLock = std::make_unique<QLockFile>(m_strLockPath);
    m_pLock->setStaleLockTime(0); // only a lock whose process is gone is stale
    if (m_pLock->tryLock(0)) {
        QLocalServer::removeServer(m_strSocketPath);
        m_pServer = new QLocalServer(this);
        m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_pServer->listen(m_strSocketPath))
            DebugText("single instance: cannot listen: " + m_pServer->errorString().toStdString() + "\n");
        connect(m_pServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (!socket->canReadLine())
                        return;
                    const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                    socket->write("ok\n");
                    socket->flush();
                    DebugText("single instance: activated\n");
                    // Queued: the receiver may run a modal box or the synchronisation dialog, whose
                    // nested event loop would delete this socket under its own readyRead handler.
                    const QString file = line.startsWith(QLatin1String("open ")) ? line.mid(5) : QString();
                    QMetaObject::invokeMethod(
                        this, [this, file] { emit Activated(file); }, Qt::QueuedConnection);
                });
            }
        });
        return Result::Primary;
    }
    if (m_pLock->error() != QLockFile::LockFailedError)
        return Result::LockFailed;
    QLocalSocket socket;
    socket.connectToServer(m_strSocketPath);
    if (!socket.waitForConnected(kHandOverMs))
        return Result::NoWindow;
    socket.write((QStringLiteral("open ") + file + QLatin1Char('\n')).toUtf8());
    socket.flush();
    if (!socket.waitForReadyRead(kHandOverMs))
        return Result::NoWindow;
    return Result::Forwarded;
}
