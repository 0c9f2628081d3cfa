#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QVector>

#include <future>

// Whether the system's certificate store trusts a server's chain. Reading the
// store takes tens of milliseconds, so the verdict is started on a thread of
// its own once the connection is encrypted, while the server still answers,
// and taken when the reply is judged.
class ChainTrust
{
public:
    ChainTrust() = default;
    ChainTrust(const ChainTrust &) = delete;
    ChainTrust &operator=(const ChainTrust &) = delete;

    // Starts finding the verdict on chain for host, unless it is under way.
    void start(const QList<QSslCertificate> &chain, const QString &host);
    // The verdict: the one started for this chain and host, waited for if it
    // is still under way, else found now. A verdict is taken once.
    bool trusts(const QList<QSslCertificate> &chain, const QString &host);

private:
    struct Pending
    {
        QList<QSslCertificate> chain;
        QString host;
        std::shared_future<bool> verdict;
        QElapsedTimer age;
    };
    // Stale verdicts go: a certificate may expire or a store change meanwhile.
    void dropStale();

    QVector<Pending> pending;
};
