#include "ServerCertificate.h"

#include "CertificateStore.h"
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
