#include "CertificateTrust.h"

#include <QByteArray>

CertificateCheckMode certificateCheckModeFrom(const QString &text)
{
    const QString mode = text.trimmed().toLower();
    if (mode == QLatin1String("any"))
        return CertificateCheckMode::Any;
    if (mode == QLatin1String("strict"))
        return CertificateCheckMode::Strict;
    return CertificateCheckMode::Remember;
}

CertificateVerdict judgeCertificate(CertificateCheckMode mode, bool systemTrusted, const QString &remembered,
    const QString &pinned, const QString &presented)
{
    if (mode == CertificateCheckMode::Any)
        return CertificateVerdict::Accept;
    const QString seen = normalizedFingerprint(presented);
    // The administrator's word beats the system's store and the user's memory.
    if (!pinned.isEmpty())
        return normalizedFingerprint(pinned) == seen ? CertificateVerdict::Accept
                                                     : CertificateVerdict::RefusePinned;
    const bool known = !remembered.isEmpty();
    if (known && normalizedFingerprint(remembered) == seen)
        return CertificateVerdict::Accept;
    if (systemTrusted)
        return CertificateVerdict::AcceptAndRemember;
    if (mode == CertificateCheckMode::Strict)
        return CertificateVerdict::RefuseUnknown;
    return known ? CertificateVerdict::Ask : CertificateVerdict::AcceptAndRemember;
}

QString fingerprintText(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString normalizedFingerprint(const QString &text)
{
    QString hex = text.mid(text.lastIndexOf(QLatin1Char('=')) + 1).toUpper();
    hex.remove(QLatin1Char(':'));
    hex.remove(QLatin1Char(' '));
    hex = hex.trimmed();
    QString grouped;
    for (int i = 0; i < hex.size(); i += 2) {
        if (i > 0)
            grouped += QLatin1Char(':');
        grouped += hex.mid(i, 2);
    }
    return grouped;
}
