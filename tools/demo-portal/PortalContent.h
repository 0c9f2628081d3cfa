#pragma once

#include "DemoDesktop.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// What the demo portal says, as pure functions of the request's values.
namespace PortalContent {

// The one-byte key the launcher combines with every byte of the serial id.
constexpr char serialIdKey = 0x2E;

// The serial id carried by sid: hex digits (two per byte, either case) each byte
// combined with the key, read as Latin-1. ok is false for an odd length or a
// non-hex character; an empty sid is valid and gives "".
QString decodeSerialId(const QByteArray &sid, bool *ok);

// Every "%" is followed by two hexadecimal digits.
bool hasValidPercentEncoding(const QByteArray &text);

// The value of the first key whose decoded name is key, still percent-encoded;
// null when the key is absent.
QByteArray rawQueryValue(const QByteArray &rawQuery, const QByteArray &key);

// A query value the launcher sends: percent-encoded Latin-1.
QString decodeLatin1Value(const QByteArray &rawValue);

// The query with the value of every "password" key (any case, any encoding of
// the name) replaced by ***.
QByteArray maskedQuery(const QByteArray &rawQuery);

// "yyyy-MM-dd HH:mm:ss.zzz METHOD /path?query" with the password masked; bytes
// that are not visible ASCII are percent-encoded so a request cannot forge lines.
QByteArray requestLogLine(const QDateTime &time, const QByteArray &method, const QByteArray &target);

// "full address:s:host:port" first, the user name only when given, the common
// settings, then the desktop's own; CR LF after every line. Control characters
// are dropped from host and user so each stays one setting.
QByteArray connectionFile(const DemoDesktop &desktop, const QString &host, quint16 port, const QString &user);

// UTF-8 HTML pages. Every text from the request is escaped.
QByteArray portalPage(const QString &userName, bool passwordGiven, const QString &serialId,
    bool serialIdValid, const QList<DemoDesktop> &desktops);
QByteArray notSignedInPage();
QByteArray signedOutPage();
QByteArray messagePage(const QString &title, const QString &message);

} // namespace PortalContent
