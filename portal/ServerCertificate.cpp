#include "ServerCertificate.h"

#include "CertificateStore.h"
#include "IdentityCheck.h"
#include "PortalOrigin.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslError>
#include <QUrl>

QString certificateFingerprint(const QSslCertificate &certificate)
{
    return fingerprintText(certificate.digest(QCryptographicHash::Sha256));
}

bool systemTrustsChain(const QList<QSslCertificate> &chain, const QString &host)
{
    return !chain.isEmpty() && QSslCertificate::verify(chain, host).isEmpty();
}

bool isInCertificateScope(const QUrl &url, const QString &serverAddress, const QStringList &pins)
{
    const QString hostPort = hostPortOf(url);
    if (hostPort.isEmpty())
        return false;
    const QString server = hostPortOf(QUrl(identityCheckUrl(serverAddress), QUrl::TolerantMode));
    const auto hostOf = [](const QString &text) { return text.left(text.lastIndexOf(QLatin1Char(':'))); };
    return (!server.isEmpty() && hostOf(server) == hostOf(hostPort)) || pins.contains(hostPort);
}

CertificateFinding examineServerCertificate(
    const QUrl &url, const QList<QSslCertificate> &chain, bool systemTrusted)
{
    CertificateFinding finding;
    finding.hostPort = hostPortOf(url);
    const QString pinned = pinnedFingerprint(finding.hostPort);
    const QString remembered = rememberedFingerprint(finding.hostPort);
    finding.expected = pinned.isEmpty() ? normalizedFingerprint(remembered) : normalizedFingerprint(pinned);
    finding.presented = chain.isEmpty() ? QString() : certificateFingerprint(chain.first());
    finding.verdict
        = judgeCertificate(certificateCheckMode(), systemTrusted, remembered, pinned, finding.presented);
    return finding;
}

CertificateFinding examineServerCertificate(
    const QUrl &url, const QList<QSslCertificate> &chain, const std::function<bool()> &systemTrusts)
{
    return examineServerCertificate(url, chain, systemVerdictMatters(url, chain) && systemTrusts());
}

bool systemVerdictMatters(const QUrl &url, const QList<QSslCertificate> &chain)
{
    return examineServerCertificate(url, chain, false).verdict
        != examineServerCertificate(url, chain, true).verdict;
}
