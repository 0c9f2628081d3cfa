#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QUrlQuery>

using HttpHeader = QPair<QByteArray, QByteArray>;

// One request as it arrived. Headers keep their order and spelling; lookups
// ignore the letter case of the name.
class HttpRequest
{
public:
    QByteArray method;
    // The request target exactly as received, e.g. "/a%20b?x=1".
    QByteArray target;
    // The target's path, percent-decoded as UTF-8 ("/a b").
    QString path;
    // The target's query, still percent-encoded, without the "?".
    QByteArray rawQuery;
    QByteArray version;
    QList<HttpHeader> headers;
    QByteArray body;

    bool hasQuery() const { return target.contains('?'); }
    QUrlQuery query() const;

    bool hasHeader(const QByteArray &name) const;
    // All values of that header joined by ", ", or an empty array.
    QByteArray header(const QByteArray &name) const;
};

Q_DECLARE_METATYPE(HttpRequest)
