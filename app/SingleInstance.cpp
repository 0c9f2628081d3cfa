#include "SingleInstance.h"

#include "PrivateFiles.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace {

// sun_path of struct sockaddr_un holds 108 bytes with the closing zero.
constexpr int socketPathMax = 107;

const QByteArray request = "raise\n";
const QByteArray reply = "ok\n";

} // namespace

QString rendezvousName(const QString &folder)
{
    if (folder.isEmpty())
        return QString();
    const QString name = folder + QStringLiteral("/launcher");
    return QFile::encodeName(name).size() <= socketPathMax ? name : QString();
}

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
{
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::start(int waitMs)
{
    // In a folder others may enter, another account could answer or serve.
    if (rendezvousName(m_folder).isEmpty() || !isPrivateDirectory(m_folder)) {
        qWarning().noquote() << "No private folder for the launcher's rendezvous in" << m_folder
                             << "- a second start opens a second window";
        return Role::Alone;
    }
    const QString lockName = m_folder + QStringLiteral("/launcher.lock");
    m_lock = std::make_unique<QLockFile>(lockName);
    // The holder runs for as long as it likes: only a dead holder's lock is stale.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (askRunning(qBound(100, int(deadline.remainingTime()), 3000)))
            return Role::Second;
        // Whoever holds the lock serves; the other start asks again until it
        // answers.
        if (m_lock->tryLock(0))
            return serve() ? Role::First : Role::Alone;
        if (deadline.hasExpired())
            break;
        QThread::msleep(50);
    }
    qWarning().noquote() << "The launcher holding" << lockName << "does not answer";
    m_lock.reset();
    return Role::Alone;
}

bool SingleInstance::askRunning(int waitMs)
{
    QLocalSocket socket;
    socket.connectToServer(rendezvousName(m_folder));
    if (!socket.waitForConnected(waitMs))
        return false;
    socket.write(request);
    // A launcher that takes the request but hangs still owns the account.
    if (!socket.waitForBytesWritten(waitMs) || !socket.waitForReadyRead(waitMs) || socket.readAll() != reply)
        qWarning() << "The running launcher did not confirm the request to come forward";
    return true;
}

bool SingleInstance::serve()
{
    const QString name = rendezvousName(m_folder);
    m_server = new QLocalServer(this);
    // Nobody answered and the lock is ours: a socket file left here is a
    // killed launcher's.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        qWarning().noquote() << "The launcher cannot listen at" << name << ":" << m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
    return true;
}

void SingleInstance::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                // Nothing else is ever sent: a longer line is not a launcher.
                if (socket->bytesAvailable() > request.size())
                    socket->abort();
                return;
            }
            if (socket->readLine() == request) {
                qInfo() << "Another start of the launcher: the window comes to the front";
                emit comeForward();
                socket->write(reply);
            }
            socket->disconnectFromServer();
        });
    }
}
