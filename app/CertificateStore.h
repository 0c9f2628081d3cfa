#pragma once

#include "CertificateTrust.h"

#include <QString>

// Where the certificate rule gets its settings: certificateCheck and the
// [Certificates] group, keyed by "host:port", in the user's ClientConfig.ini
// and in the system-wide VelmoClient/ClientConfig.ini of the configuration
// directories (/etc/xdg by default). The system file's [Mandatory] mode and
// its fingerprints win over the user's.

CertificateCheckMode certificateCheckMode();

// The one form of a [Certificates] key, for reading and writing alike: the
// host in lower case without a trailing dot, and the port always written
// (443 when left out: certificates are for HTTPS). "" when text names no
// host and port ("host:", "host:x", a port out of range, a blank).
QString normalizedHostPort(const QString &text);

// The administrator's pins, keyed by normalizedHostPort. A key that does not
// parse is left out, and pinWarnings names it.
QStringList pinnedHostPorts();
// One warning text per [Certificates] entry of the system file that cannot
// be used: a key without a host and port, a value that is no SHA-256
// fingerprint.
QStringList pinWarnings();

// Start-up: pinWarnings() as warnings, and under pins or strict checking one
// line on what they cover.
void logCertificateSettings();

// The user's remembered fingerprint for hostPort, or "".
QString rememberedFingerprint(const QString &hostPort);

// The administrator's fingerprint for hostPort, or "".
QString pinnedFingerprint(const QString &hostPort);

// Stores fingerprint as the user's for hostPort; the file stays private. False,
// after one warning, when it did not reach the disk.
bool rememberFingerprint(const QString &hostPort, const QString &fingerprint);
