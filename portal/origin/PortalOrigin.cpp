#include "PortalOrigin.h"

#include <QString>
#include <QUrl>

namespace {

int defaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        return 443;
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        return 80;
    if (scheme == QLatin1String("ftp"))
        return 21;
    return -1;
}

} // namespace

QString originOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("blob"))
        return originOf(QUrl(url.path(QUrl::FullyEncoded)));
    QString host = url.host(QUrl::FullyEncoded).toLower();
    // "portal.example." is the same host written as a full name.
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (scheme.isEmpty() || host.isEmpty())
        return QString();
    const int port = url.port(defaultPort(scheme));
    const QString bracketed
        = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    QString origin = scheme + QLatin1String("://") + bracketed;
    if (port >= 0)
        origin += QLatin1Char(':') + QString::number(port);
    return origin;
}

bool isPortalOrigin(const QUrl &url, const QUrl &portal)
{
    const QString expected = originOf(portal);
    return !expected.isEmpty() && originOf(url) == expected;
}

bool frameMayExit(const QUrl &url, bool mainFrame, const QUrl &portal)
{
    return mainFrame || isPortalOrigin(url, portal);
}

QString hostPortOf(const QUrl &url)
{
    const QString origin = originOf(url);
    const int hostStart = origin.indexOf(QLatin1String("://"));
    return hostStart < 0 ? QString() : origin.mid(hostStart + 3);
}
