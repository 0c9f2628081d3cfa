#pragma once

#include "CertificateTrust.h"

#include <QString>

// Where the certificate rule gets its settings: certificateCheck and the
// [Certificates] group, keyed by "host:port", in the user's ClientConfig.ini
// and in the system-wide VelmoClient/ClientConfig.ini of the configuration
// directories (/etc/xdg by default). The system file's [Mandatory] mode and
// its fingerprints win over the user's.

CertificateCheckMode certificateCheckMode();

// The user's remembered fingerprint for hostPort, or "".
QString rememberedFingerprint(const QString &hostPort);

// The administrator's fingerprint for hostPort, or "".
QString pinnedFingerprint(const QString &hostPort);

// Stores fingerprint as the user's for hostPort; the file stays private. False,
// after one warning, when it did not reach the disk.
bool rememberFingerprint(const QString &hostPort, const QString &fingerprint);
