// One console per user: the first start holds a lock and listens; a later start hands over its file
// argument, asks the first window to come forward, and ends.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result { Primary, Forwarded, NoWindow, LockFailed };
    // `name` is the lock and socket name inside the user's runtime folder.
    explicit CSingleInstance(const QString& name = QStringLiteral("M7Q V1.0"), QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Takes the lock and listens, or forwards `file` (may be empty) to the running console.
    Result Acquire(const QString& file);

signals:
    // Another start asked us to come forward, with its file argument (may be empty). Emitted from
    // the event loop, never from inside the socket's own handler.
    void Activated(const QString& file);

private:
    QString m_strLockPath;
    QString m_strSocketPath;
    std::unique_ptr<QLockFile> m_pLock;
    QLocalServer* m_pServer = nullptr;
};
