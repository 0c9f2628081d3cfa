#pragma once

#include <QString>

class QByteArray;

// Which server certificates may carry the user's password. A certificate the
// system trusts for the host name is taken; one it does not trust is taken
// when it is the one seen before on that host and port, or on first contact.
// Everything here is a plain rule: where the settings come from is someone
// else's business.

// certificateCheck in ClientConfig.ini.
enum class CertificateCheckMode {
    Remember, // trust on first use, ask when it changes (the default)
    Any, // every certificate, as for a test lab
    Strict, // only system-trusted or already known certificates
};

enum class CertificateVerdict {
    Accept, // go on; nothing to store
    AcceptAndRemember, // go on and store the presented fingerprint
    Ask, // changed since last time: the user decides
    RefusePinned, // differs from the administrator's: no choice offered
    RefuseUnknown, // strict mode and not known: no choice offered
};

// "remember", "any" or "strict", in any letter case; anything else is Remember.
CertificateCheckMode certificateCheckModeFrom(const QString &text);

// remembered and pinned are empty when nothing is stored for the host and
// port. Fingerprints are compared after normalizedFingerprint.
CertificateVerdict judgeCertificate(CertificateCheckMode mode, bool systemTrusted, const QString &remembered,
    const QString &pinned, const QString &presented);

// A SHA-256 digest as upper-case hex pairs joined by ':', the way openssl
// prints a fingerprint.
QString fingerprintText(const QByteArray &digest);

// A fingerprint as a person may write it (lower case, without colons, or the
// whole "sha256 Fingerprint=..." line of openssl) in the form fingerprintText
// gives. Text that is not hex stays in, so that it matches nothing.
QString normalizedFingerprint(const QString &text);
