#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace QKeychain {
class Job;
}

// The desktop's keyring (the Secret Service on Linux, the Credential Manager
// on Windows) through QtKeychain, under the service name "VelmoClient". Every
// call answers once, through its callback on the event loop: with what the
// keyring said, or with NoKeyring when it failed or did not answer within
// the time limit. A late answer after that is dropped.
class PasswordStore : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,
        NotFound,
        NoKeyring,
    };
    struct Result
    {
        Outcome outcome = Outcome::NoKeyring;
        QString password; // a read's answer
        QString reason; // why there was no keyring, for the log
    };
    using Answer = std::function<void(const Result &)>;

    // Long enough for a keyring started on demand, short enough that an
    // automatic logon waiting for it is not taken for a hang.
    static constexpr int defaultTimeoutMs = 5000;

    explicit PasswordStore(QObject *parent = nullptr);

    void setTimeout(int milliseconds);

    void read(const QString &key, Answer answer);
    void write(const QString &key, const QString &password, Answer answer);
    // A missing entry counts as removed (Done).
    void remove(const QString &key, Answer answer);

private:
    void run(QKeychain::Job *job, const QString &key, Answer answer);

    int timeoutMs = defaultTimeoutMs;
};
