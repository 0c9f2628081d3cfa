#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One launcher per account: a second start (almost always a second click)
// asks the running launcher to come forward and ends, instead of opening a
// second window, portal and client. The two meet at a local socket in the
// account's private runtime folder; a lock file beside it decides which of
// two starts at the same moment serves, and a socket or lock left by a killed
// launcher is taken over by the next start.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        First, // no launcher ran: this one serves the next start
        Second, // a running launcher was asked to come forward: this start ends
        Alone, // no rendezvous could be settled: this start runs on its own
    };
    Q_ENUM(Role)

    // folder: the account's private runtime folder (privateRuntimeFolder).
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Decides this start's role, waiting at most waitMs for a launcher that is
    // still starting (it holds the lock but does not answer yet).
    Role start(int waitMs = 5000);

signals:
    // Another start of this account asked this launcher to come forward.
    void comeForward();

private:
    bool askRunning(int waitMs);
    bool serve();
    void answer();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

// Where the running launcher listens in folder: "<folder>/launcher", or ""
// when there is no folder or the path does not fit a local socket's address
// (107 bytes on Linux), which would otherwise be cut short silently.
QString rendezvousName(const QString &folder);
