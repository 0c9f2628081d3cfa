#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVector>

#include <functional>

class SslTcpServer;

// A small HTTP/1.1 server for tests and demos, bound to 127.0.0.1 only. With a
// certificate and key it speaks HTTPS, otherwise plain HTTP. One request per
// connection: each reply carries Content-Length and "Connection: close".
// Runs on the thread that owns it, event driven; the handler is called there.
//
// Bounds: 64 KiB of request head (431), 1 MiB of body (413), malformed input
// (400); a client that has not sent a whole request within requestTimeout() gets
// 408 and is dropped, as is one that stops reading a reply for that long.
class HttpsServer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    static constexpr int defaultRequestTimeoutMsecs = 10000;
    static constexpr int maxOpenConnections = 256;

    explicit HttpsServer(QObject *parent = nullptr);
    ~HttpsServer() override;

    // Both paths or neither. Port 0 picks a free port. False with errorString() set
    // on unreadable PEM files or when the port cannot be bound.
    bool listen(const QString &certificatePemPath = {}, const QString &keyPemPath = {}, quint16 port = 0);
    void close();
    bool isListening() const;
    bool isHttps() const;
    quint16 port() const;
    // "https://127.0.0.1:PORT" (or http) followed by pathAndQuery.
    QUrl url(const QString &pathAndQuery = QStringLiteral("/")) const;
    QString errorString() const { return m_errorString; }

    // An empty handler answers 404 to everything.
    void setHandler(Handler handler);

    // Applies to connections accepted from now on.
    void setRequestTimeout(int msecs) { m_requestTimeoutMsecs = msecs; }
    int requestTimeout() const { return m_requestTimeoutMsecs; }

    // Every well-formed request since start or the last clearRequests(), oldest
    // first. A long-running server turns recording off to keep its memory flat.
    QVector<HttpRequest> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    void setRecordingRequests(bool on) { m_recording = on; }

    int openConnections() const { return m_openConnections; }

signals:
    // Before the handler runs.
    void requestReceived(const HttpRequest &request);

private:
    void acceptConnections();
    HttpResponse dispatch(const HttpRequest &request);

    SslTcpServer *m_listener;
    Handler m_handler;
    QString m_errorString;
    int m_requestTimeoutMsecs = defaultRequestTimeoutMsecs;
    QVector<HttpRequest> m_requests;
    bool m_recording = true;
    int m_openConnections = 0;
};
