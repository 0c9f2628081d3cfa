#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVector>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server for tests and the demo portal, bound to 127.0.0.1
// only: HTTPS with a certificate and key, plain HTTP without. One request per
// connection, answered once, then closed. Runs on its owner's thread.
//
// It faces whatever a client sends, so it keeps bounds: 64 KiB of head (431),
// 1 MiB of body (413), malformed requests (400), at most maxConnections open at
// once (more are closed at once), and a client that has not sent its whole
// request within requestTimeout() gets 408, as one that stops reading a reply
// for that long is dropped.
class HttpsServer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    static constexpr int maxHeadBytes = 64 * 1024;
    static constexpr int maxBodyBytes = 1024 * 1024;
    static constexpr int maxConnections = 256;

    explicit HttpsServer(QObject *parent = nullptr);
    ~HttpsServer() override;

    // Both paths or neither. Port 0 picks a free port. False with errorString()
    // set when a file holds no certificate or key or the port is taken.
    bool listen(const QString &certificatePemPath = {}, const QString &keyPemPath = {}, quint16 port = 0);
    void close();
    quint16 port() const;
    // "https://127.0.0.1:PORT" (or http) followed by pathAndQuery.
    QUrl url(const QString &pathAndQuery = QStringLiteral("/")) const;
    QString errorString() const { return m_errorString; }

    // Without a handler every request gets 404.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Applies to connections accepted from now on.
    void setRequestTimeout(int msecs) { m_requestTimeoutMsecs = msecs; }

    // Every well-formed request since start or clearRequests(), oldest first. A
    // long-running server turns recording off to keep its memory flat.
    QVector<HttpRequest> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    void setRecordingRequests(bool on) { m_recording = on; }

    int openConnections() const { return m_openConnections; }
    // Connections accepted since start, the last one's number.
    int connections() const { return m_connections; }
    // TLS handshakes completed since start, whether a request followed or not.
    int handshakes() const { return m_handshakes; }

private:
    void serve(QTcpSocket *socket);

    QTcpServer *m_listener;
    Handler m_handler;
    QString m_errorString;
    int m_requestTimeoutMsecs = 10000;
    QVector<HttpRequest> m_requests;
    bool m_recording = true;
    int m_openConnections = 0;
    int m_connections = 0;
    int m_handshakes = 0;
};
