#include "HttpRequest.h"

QUrlQuery HttpRequest::query() const
{
    // The parser admits only visible ASCII in the target, so Latin-1 is lossless here.
    return QUrlQuery(QString::fromLatin1(rawQuery));
}

bool HttpRequest::hasHeader(const QByteArray &name) const
{
    for (const HttpHeader &h : headers) {
        if (qstricmp(h.first.constData(), name.constData()) == 0)
            return true;
    }
    return false;
}

QByteArray HttpRequest::header(const QByteArray &name) const
{
    QByteArray value;
    bool found = false;
    for (const HttpHeader &h : headers) {
        if (qstricmp(h.first.constData(), name.constData()) != 0)
            continue;
        if (found)
            value += ", ";
        value += h.second;
        found = true;
    }
    return value;
}
