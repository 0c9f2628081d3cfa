#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QList>

// Incremental HTTP/1.1 request parser: bytes go in as they arrive, in pieces of
// any size, and the parser says when one request is whole or why it is refused.
// Memory stays within the head and body bounds whatever the peer sends.
class HttpRequestParser
{
public:
    enum class State { Head, Body, Complete, Failed };

    static constexpr int defaultMaxHeadBytes = 64 * 1024;
    static constexpr qint64 defaultMaxBodyBytes = 1024 * 1024;
    static constexpr int maxHeaderLines = 256;

    explicit HttpRequestParser(
        int maxHeadBytes = defaultMaxHeadBytes, qint64 maxBodyBytes = defaultMaxBodyBytes);

    // Bytes after a complete request are ignored: one request per connection.
    State feed(const QByteArray &data);

    State state() const { return m_state; }
    // When Failed: 400 malformed, 413 body too large, 431 head too large,
    // 501 transfer coding, 505 HTTP version.
    int errorStatus() const { return m_errorStatus; }
    QByteArray errorText() const { return m_errorText; }
    // The head is in, the client waits for "100 Continue" before it sends the body.
    bool wantsContinue() const;

    // Filled once the head is in; the body once Complete.
    const HttpRequest &request() const { return m_request; }

private:
    State fail(int status, const QByteArray &text);
    void parseHead();
    bool parseRequestLine(const QByteArray &line);
    bool parseTarget();
    bool parseHeaderLine(const QByteArray &line);
    void takeBody(const QByteArray &data);

    const int m_maxHeadBytes;
    const qint64 m_maxBodyBytes;
    State m_state = State::Head;
    int m_errorStatus = 0;
    QByteArray m_errorText;

    QByteArray m_buffer;
    int m_lineStart = 0;
    int m_scanFrom = 0;
    QList<QByteArray> m_lines;
    qint64 m_contentLength = 0;
    HttpRequest m_request;
};
