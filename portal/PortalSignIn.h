#pragma once

#include <QByteArray>
#include <QString>

struct ControlData;

// Building the signed-in portal address.

// The serial-id placeholder meaning "not given".
extern const QString serialIdNotGiven;

// Key combined with every byte of the serial id on its way to the server.
constexpr char serialIdKey = 0x2E;

// True when the address names a scheme: "http://" or "https://" anywhere,
// case-sensitive (an upper-case scheme is not one).
bool hasScheme(const QString &serverAddress);

// The server address followed by rest, with "https://" in front when the
// address names no scheme: such a server is always reached over HTTPS.
QString withDefaultScheme(const QString &serverAddress, const QString &rest);

// A credential as the server reads it: Latin-1 ("?" for anything outside),
// then percent-encoded with only the RFC 3986 unreserved bytes kept.
QString encodeCredential(const QString &text);

// Serial id -> lower-case hex of its Latin-1 bytes, each XORed with the key.
QString encodeSerialId(const QString &serialId);

// The reverse of encodeSerialId, read as UTF-8.
QString decodeSerialId(const QString &sid);

// "?username=…&password=…&sid=…&a=a" for the record and its encoded serial id.
QString signInQuery(const ControlData &data, const QString &sid);

// The address the portal view loads.
QString signInAddress(const ControlData &data, const QString &sid);

// The same address with the password value replaced, for the log.
QString signInAddressForLog(const ControlData &data, const QString &sid);
