#include "OptionLines.h"

#include <QDebug>
#include <QFile>

QByteArray withoutOptionLines(const QByteArray &content, int *removed)
{
    const bool wide = content.size() >= 2 && uchar(content.at(0)) == 0xFF && uchar(content.at(1)) == 0xFE;
    const int unit = wide ? 2 : 1;
    const int begin = wide ? 2 : 0;
    // A last odd byte of a 16-bit file is no character to FreeRDP.
    const int end = content.size() - (content.size() - begin) % unit;
    const auto at = [&content, wide](int i) -> ushort {
        return wide ? ushort(uchar(content.at(i)) | uchar(content.at(i + 1)) << 8) : uchar(content.at(i));
    };

    QByteArray kept = content.left(begin);
    kept.reserve(content.size());
    int count = 0;
    int i = begin;
    while (i < end) {
        int lineEnd = i;
        while (lineEnd < end && at(lineEnd) != '\r' && at(lineEnd) != '\n')
            lineEnd += unit;
        int next = lineEnd;
        if (next < end) {
            const bool cr = at(next) == '\r';
            next += unit;
            if (cr && next < end && at(next) == '\n')
                next += unit;
        }
        if (lineEnd > i && at(i) == '/')
            ++count;
        else
            kept += content.mid(i, next - i);
        i = next;
    }
    kept += content.mid(end);
    if (removed)
        *removed = count;
    return kept;
}

bool removeOptionLines(const QString &path)
{
    QFile file(path);
    // What cannot be read here cannot be read by the client either.
    if (!file.open(QIODevice::ReadOnly))
        return true;
    int removed = 0;
    const QByteArray kept = withoutOptionLines(file.readAll(), &removed);
    file.close();
    if (removed == 0)
        return true;
    // Written in place: the file keeps its owner-only mode and its folder.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(kept) != kept.size()
        || !file.flush()) {
        qWarning().noquote() << QStringLiteral(
            "the connection file holds %1 line(s) starting with \"/\" and could not be rewritten "
            "without them: %2; no client started")
                                    .arg(removed)
                                    .arg(file.errorString());
        return false;
    }
    qWarning().noquote() << QStringLiteral(
        "removed %1 line(s) starting with \"/\" from the connection file: FreeRDP would take them as options")
                                .arg(removed);
    return true;
}
