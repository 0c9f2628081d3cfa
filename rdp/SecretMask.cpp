#include "SecretMask.h"

#include <QRegularExpression>

namespace {

const QLatin1String hidden("***");

QString maskAfterPasswordWord(const QString &text)
{
    const int at = text.indexOf(QLatin1String("password"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return text;
    const int end = at + 8;
    if (end == text.size())
        return text;
    return text.left(end) + hidden;
}

} // namespace

QString maskArgument(const QString &argument)
{
    for (const QLatin1String prefix : {QLatin1String("/p:"), QLatin1String("/gp:")}) {
        if (argument.startsWith(prefix))
            return prefix + hidden;
    }
    if (argument.startsWith(QLatin1String("/gateway:"), Qt::CaseInsensitive)) {
        QStringList items = argument.mid(9).split(QLatin1Char(','));
        for (QString &item : items) {
            if (item.startsWith(QLatin1String("p:"), Qt::CaseInsensitive))
                item = item.left(2) + hidden;
        }
        return maskAfterPasswordWord(argument.left(9) + items.join(QLatin1Char(',')));
    }
    return maskAfterPasswordWord(argument);
}

QString maskedCommandLine(const QStringList &arguments)
{
    QStringList masked;
    masked.reserve(arguments.size());
    for (const QString &argument : arguments)
        masked.append(maskArgument(argument));
    // "password" anywhere hides the rest of the line, later arguments included.
    return maskAfterPasswordWord(masked.join(QLatin1Char(' ')));
}

QStringList secretsOf(const QStringList &arguments)
{
    QStringList secrets;
    for (const QString &argument : arguments) {
        for (const QLatin1String prefix : {QLatin1String("/p:"), QLatin1String("/gp:")}) {
            if (argument.startsWith(prefix) && argument.size() > prefix.size())
                secrets << argument.mid(prefix.size());
        }
        if (argument.startsWith(QLatin1String("/gateway:"), Qt::CaseInsensitive)) {
            for (const QString &item : argument.mid(9).split(QLatin1Char(','))) {
                if (item.startsWith(QLatin1String("p:"), Qt::CaseInsensitive) && item.size() > 2)
                    secrets << item.mid(2);
            }
        }
    }
    return secrets;
}

QString maskLine(const QString &line)
{
    // Options echoed in free text end at the next blank; a gateway "p:" item
    // at the next comma or blank.
    static const QRegularExpression option(QStringLiteral("(^|[\\s\"'=])(/g?p:)[^\\s\"']*"));
    static const QRegularExpression gatewayItem(QStringLiteral("(/gateway:(?:[^\\s,]*,)*)(p:)[^,\\s\"']*"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = line;
    masked.replace(option, QStringLiteral("\\1\\2***"));
    masked.replace(gatewayItem, QStringLiteral("\\1\\2***"));
    return maskAfterPasswordWord(masked);
}
