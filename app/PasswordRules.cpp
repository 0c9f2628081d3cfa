#include "PasswordRules.h"

#include <QUrl>

bool passwordMayBeKept(bool rememberFixed, bool rememberFixedValue)
{
    return !rememberFixed || rememberFixedValue;
}

PasswordPlace passwordPlace(bool remember, bool mayBeKept, bool keyringAnswered)
{
    if (!remember || !mayBeKept)
        return PasswordPlace::Nowhere;
    return keyringAnswered ? PasswordPlace::Keyring : PasswordPlace::File;
}

PasswordAtStart passwordAtStart(bool remember, bool mayBeKept, bool fileHoldsPassword)
{
    if (!remember || !mayBeKept)
        return fileHoldsPassword ? PasswordAtStart::ClearFile : PasswordAtStart::Nothing;
    return fileHoldsPassword ? PasswordAtStart::MoveToKeyring : PasswordAtStart::ReadKeyring;
}

QString keyringKey(const QString &server, const QString &user)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(user)) + QLatin1Char('@') + server;
}
