#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Option lists written as one text with "|" between the options; "" is the empty list.
inline QStringList list(const char *options)
{
    return QString::fromUtf8(options).split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

// True when the whole content landed in the file.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
