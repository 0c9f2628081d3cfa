#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>

// What a handler answers. The server frames every reply itself (Content-Length,
// "Connection: close"), so any such header set here is dropped.
class HttpResponse
{
public:
    enum class Mode {
        // Status line, headers and body, then the connection closes.
        Complete,
        // Never answered; the connection stays open until the client gives up.
        Hold,
        // Closed without a byte of answer, as a server that gives up on a request.
        Drop,
        // Filler in endless chunks, written as fast as the client reads, until
        // the client goes away.
        Endless,
    };

    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Mode mode = Mode::Complete;

    HttpResponse() = default;
    HttpResponse(int status, const QByteArray &body, const QByteArray &contentType);

    // Replaces every header of that name (any letter case) by one with this value.
    void setHeader(const QByteArray &name, const QByteArray &value);
    QByteArray header(const QByteArray &name) const;

    static HttpResponse plainText(int status, const QByteArray &text);
    static HttpResponse html(int status, const QByteArray &utf8Html);
    static HttpResponse json(int status, const QByteArray &json);
    static HttpResponse notFound();
    static HttpResponse hold();
    static HttpResponse drop();
    static HttpResponse endless();

    // Status line and headers up to the empty line. CR, LF and NUL are dropped
    // from values, so a handler cannot split the reply.
    QByteArray head() const;
};

Q_DECLARE_METATYPE(HttpResponse)
