#include "ChainTrust.h"

#include "LoginStep.h"
#include "ServerCertificate.h"

namespace {

// A connection prepared this long ago is one the server has closed anyway.
constexpr qint64 maxAgeMs = 120 * 1000;
constexpr int maxPending = 4;

} // namespace

void ChainTrust::start(const QList<QSslCertificate> &chain, const QString &host)
{
    dropStale();
    if (chain.isEmpty())
        return;
    for (const Pending &entry : std::as_const(pending)) {
        if (entry.chain == chain && entry.host == host)
            return;
    }
    if (pending.size() == maxPending)
        pending.removeFirst();
    Pending entry;
    entry.chain = chain;
    entry.host = host;
    // Its own thread: marked apart from the login's steps, which it overlaps.
    entry.verdict = std::async(std::launch::async, [chain, host] {
        qCDebug(loginSteps, "store verdict under way");
        const bool trusted = systemTrustsChain(chain, host);
        qCDebug(loginSteps, "store verdict found");
        return trusted;
    });
    entry.age.start();
    pending.append(entry);
}

bool ChainTrust::trusts(const QList<QSslCertificate> &chain, const QString &host)
{
    dropStale();
    for (int i = 0; i < pending.size(); ++i) {
        if (pending.at(i).chain == chain && pending.at(i).host == host)
            return pending.takeAt(i).verdict.get();
    }
    return systemTrustsChain(chain, host);
}

void ChainTrust::dropStale()
{
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                      [](const Pending &entry) { return entry.age.hasExpired(maxAgeMs); }),
        pending.end());
}
