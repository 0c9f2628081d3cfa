#pragma once

#include <functional>

#include "CertificateTrust.h"

#include <QList>
#include <QString>

class QSslCertificate;
class QUrl;

// What the certificate rule made of one server's certificate.
struct CertificateFinding
{
    QString hostPort;
    // What it was compared with: the administrator's fingerprint when there
    // is one, else the user's remembered one; "" on first contact.
    QString expected;
    QString presented;
    CertificateVerdict verdict = CertificateVerdict::Accept;
};

// SHA-256 fingerprint of certificate, as openssl prints it.
QString certificateFingerprint(const QSslCertificate &certificate);

// True when the system's store trusts chain (the server's own first) for host.
bool systemTrustsChain(const QList<QSslCertificate> &chain, const QString &host);

// True when the certificate rule (remembering, asking, pins) is for url's
// server: the configured server's host on any port, or a host and port the
// administrator pinned (pins in normalizedHostPort form). Every other server a
// page reaches is left to the web engine's own judgement.
bool isInCertificateScope(const QUrl &url, const QString &serverAddress, const QStringList &pins);

// Judges the chain a server showed for url against the stored settings. Stores
// nothing: a verdict of AcceptAndRemember is for the caller to keep.
CertificateFinding examineServerCertificate(
    const QUrl &url, const QList<QSslCertificate> &chain, bool systemTrusted);
// The same, asking systemTrusts (which reads the whole store) only where its
// answer changes the verdict: a pin, a remembered match, "any", or a first
// use outside "strict" decide without it.
CertificateFinding examineServerCertificate(
    const QUrl &url, const QList<QSslCertificate> &chain, const std::function<bool()> &systemTrusts);
// Whether the verdict on chain for url depends on the system's store.
bool systemVerdictMatters(const QUrl &url, const QList<QSslCertificate> &chain);
