#pragma once

#include "HttpRequestParser.h"
#include "HttpResponse.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QTcpSocket;
class QTimer;

// One client connection of HttpsServer: reads one request, answers it once and
// closes. Nothing blocks; every wait is a signal or the connection's single timer.
// Deletes itself (deleteLater) after emitting finished().
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Dispatcher = std::function<HttpResponse(const HttpRequest &)>;

    // Takes ownership of socket. timeoutMsecs bounds both the time to receive the
    // whole request and any stall while the reply is being written.
    HttpConnection(QTcpSocket *socket, Dispatcher dispatcher, int timeoutMsecs, QObject *parent = nullptr);
    ~HttpConnection() override;

signals:
    void finished();

private:
    enum class Phase { Reading, Writing, Streaming, Holding, Lingering, Done };

    void onReadyRead();
    void onBytesWritten();
    void onTimeout();
    void onError(QAbstractSocket::SocketError error);
    void dispatch();
    void respond(const HttpResponse &response);
    void refuse(int status, const QByteArray &text);
    void fillStream();
    qint64 pendingBytes() const;
    bool canWrite() const;
    void finish();

    QTcpSocket *m_socket;
    Dispatcher m_dispatcher;
    QTimer *m_timer;
    const int m_timeoutMsecs;
    HttpRequestParser m_parser;
    Phase m_phase = Phase::Reading;
    bool m_sentContinue = false;
    bool m_lingerFlushed = false;
    QElapsedTimer m_lingerClock;
    qint64 m_streamLeft = 0;
};
