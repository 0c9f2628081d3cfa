#include "PortalSignIn.h"

#include "ControlData.h"

const QString serialIdNotGiven = QStringLiteral("N/A");

bool hasScheme(const QString &serverAddress)
{
    return serverAddress.contains(QLatin1String("http://"))
        || serverAddress.contains(QLatin1String("https://"));
}

QString withDefaultScheme(const QString &serverAddress, const QString &rest)
{
    if (hasScheme(serverAddress))
        return serverAddress + rest;
    return QStringLiteral("https://") + serverAddress + rest;
}

QString encodeCredential(const QString &text)
{
    return QString::fromLatin1(text.toLatin1().toPercentEncoding());
}

namespace {

QByteArray xorWithKey(QByteArray bytes)
{
    for (char &byte : bytes)
        byte ^= serialIdKey;
    return bytes;
}

} // namespace

QString encodeSerialId(const QString &serialId)
{
    return QString::fromLatin1(xorWithKey(serialId.toLatin1()).toHex());
}

QString decodeSerialId(const QString &sid)
{
    return QString::fromUtf8(xorWithKey(QByteArray::fromHex(sid.toLatin1())));
}

QString signInQuery(const ControlData &data, const QString &sid)
{
    return QStringLiteral("?username=") + data.userName + QStringLiteral("&password=") + data.userPassword
        + QStringLiteral("&sid=") + sid + QStringLiteral("&a=a");
}

namespace {

QString addressWithQuery(const QString &serverAddress, const QString &query)
{
    const QString address = withDefaultScheme(serverAddress, query);
    // Without a scheme a "/" closes the address after the query, so the
    // placeholder "a" arrives as "a/"; the portal ignores that parameter.
    return hasScheme(serverAddress) ? address : address + QLatin1Char('/');
}

} // namespace

QString signInAddress(const ControlData &data, const QString &sid)
{
    return addressWithQuery(data.serverAddress, signInQuery(data, sid));
}

QString signInAddressForLog(const ControlData &data, const QString &sid)
{
    ControlData masked = data;
    if (!masked.userPassword.isEmpty())
        masked.userPassword = QStringLiteral("***");
    return addressWithQuery(masked.serverAddress, signInQuery(masked, sid));
}
