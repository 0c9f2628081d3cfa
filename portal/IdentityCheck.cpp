#include "IdentityCheck.h"

#include "PortalSignIn.h"

#include <QJsonDocument>
#include <QJsonObject>

const QString identityCheckPath = QStringLiteral("/public/merolink-identify/is-me.do");

QString identityCheckUrl(const QString &serverAddress)
{
    // Only an address with a scheme shares its trailing "/" with the path; one
    // without keeps both ("https://host//public/...").
    if (hasScheme(serverAddress) && serverAddress.endsWith(QLatin1Char('/')))
        return serverAddress + identityCheckPath.mid(1);
    return withDefaultScheme(serverAddress, identityCheckPath);
}

bool isPlainHttp(const QString &serverAddress)
{
    return identityCheckUrl(serverAddress).startsWith(QLatin1String("http://"));
}

bool isIdentityReply(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object().value(QStringLiteral("isMe")).isBool();
}
