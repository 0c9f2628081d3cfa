#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

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

#ifndef Q_OS_WIN
// Permission bits of the entry itself (a link is not followed); -1 when missing.
inline int modeOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}
#endif
