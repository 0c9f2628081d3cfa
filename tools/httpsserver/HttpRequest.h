#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

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
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // The server's number for the connection it came on, from 1.
    int connection = 0;

    // All values of that header joined by ", ", or an empty array.
    QByteArray header(const QByteArray &name) const;

    // Reads one request from the start of buffer, which holds everything the
    // client has sent so far. Returns 0 while more bytes are needed, 200 with
    // request filled once it is whole, or the status to refuse it with: 400
    // malformed, 413 body over maxBody, 431 head over maxHead, 501 a transfer
    // coding. Bytes after the request are ignored: one request per connection.
    static int parse(const QByteArray &buffer, HttpRequest *request, int maxHead, int maxBody);
};

Q_DECLARE_METATYPE(HttpRequest)
