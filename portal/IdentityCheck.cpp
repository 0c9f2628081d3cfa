#include "IdentityCheck.h"

#include "PortalSignIn.h"

#include <QJsonDocument>
#include <QJsonObject>

const QString identityCheckPath = QStringLiteral("/public/merolink-identify/is-me.do");

QString identityCheckUrl(const QString &serverAddress)
{
    if (!hasScheme(serverAddress))
        return QStringLiteral("https://%1").arg(serverAddress) + identityCheckPath;
    if (serverAddress.endsWith(QLatin1Char('/')))
        return serverAddress + identityCheckPath.mid(1);
    return serverAddress + identityCheckPath;
}

bool isIdentityReply(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object().value(QStringLiteral("isMe")).isBool();
}
