#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>

// What a handler answers. The server adds Content-Length and "Connection: close"
// itself and drops any such header set here, so every reply is framed the same way.
class HttpResponse
{
public:
    enum class Mode {
        // Status line, headers and body, then the connection closes.
        Complete,
        // The request is taken and never answered; the connection stays open until
        // the client gives up. For testing client-side time-outs.
        Hold,
        // A body of streamSize filler bytes written as fast as the client reads, or
        // with a negative streamSize endless chunks (chunked transfer coding, the
        // only reply without Content-Length). For testing size limits and cancels.
        Stream,
    };

    int status = 200;
    // Empty: the standard phrase for the status.
    QByteArray reason;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Mode mode = Mode::Complete;
    qint64 streamSize = -1;

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
    // size < 0: endless.
    static HttpResponse stream(qint64 size);

    // Status line and headers up to the empty line, with the framing headers added:
    // Content-Length (none for 204) or, for an endless stream, chunked coding, and
    // "Connection: close". CR, LF and NUL are dropped from the reason and values and
    // malformed names are skipped, so a handler cannot split the reply. A status
    // outside 200..999 is sent as 500.
    QByteArray serializedHead() const;

    // The bytes of the body a complete reply sends (none for 204).
    bool carriesBody() const { return effectiveStatus() != 204; }
    int effectiveStatus() const { return status >= 200 && status <= 999 ? status : 500; }

    static QByteArray standardReason(int status);
};

Q_DECLARE_METATYPE(HttpResponse)
