#pragma once

#include <QByteArray>
#include <QString>

// The question a portal server must answer before the launcher trusts it.

// Path of the identity endpoint on the server.
extern const QString identityCheckPath;

// The identity-check address for a server address as the user typed it. The
// scheme test is case-sensitive and looks anywhere in the address; without a
// scheme the server is always asked over HTTPS.
QString identityCheckUrl(const QString &serverAddress);

// True when the server at serverAddress is asked, and signed in to, over
// plain HTTP: the password then travels in clear.
bool isPlainHttp(const QString &serverAddress);

// True when body is a JSON object whose member isMe is a boolean (its value
// does not matter). Everything else, an empty body included, is a refusal.
bool isIdentityReply(const QByteArray &body);
