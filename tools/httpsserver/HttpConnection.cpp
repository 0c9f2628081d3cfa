#include "HttpConnection.h"

#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <exception>

namespace {
constexpr int streamPieceBytes = 64 * 1024;
// Keeps a streaming reply from piling up in memory when the client reads slowly.
constexpr qint64 streamHighWater = 4 * streamPieceBytes;
// After refusing a request that may still be arriving, its remaining bytes are read
// and dropped before closing: closing with unread input makes the kernel send a
// reset, which can destroy the refusal before the client has read it.
constexpr int lingerQuietMsecs = 200;
constexpr qint64 lingerMaxMsecs = 2000;

const QByteArray &filler()
{
    static const QByteArray bytes(streamPieceBytes, 'x');
    return bytes;
}
} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, Dispatcher dispatcher, int timeoutMsecs, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_dispatcher(std::move(dispatcher))
    , m_timer(new QTimer(this))
    , m_timeoutMsecs(timeoutMsecs)
{
    m_socket->setParent(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpConnection::onError);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::finish);
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        connect(ssl, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::onBytesWritten);
    m_timer->start(m_timeoutMsecs);

    // Bytes may have arrived before the connection was handed over.
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &HttpConnection::onReadyRead);
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::onReadyRead()
{
    if (m_phase == Phase::Done)
        return;
    const QByteArray data = m_socket->readAll();
    if (m_phase == Phase::Lingering) {
        if (m_lingerFlushed && m_lingerClock.elapsed() < lingerMaxMsecs)
            m_timer->start(lingerQuietMsecs);
        return;
    }
    // Anything after the one request is ignored.
    if (m_phase != Phase::Reading)
        return;

    switch (m_parser.feed(data)) {
    case HttpRequestParser::State::Head:
        break;
    case HttpRequestParser::State::Body:
        if (m_parser.wantsContinue() && !m_sentContinue) {
            m_sentContinue = true;
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
        break;
    case HttpRequestParser::State::Complete:
        dispatch();
        break;
    case HttpRequestParser::State::Failed:
        refuse(m_parser.errorStatus(), m_parser.errorText());
        break;
    }
}

void HttpConnection::dispatch()
{
    QPointer<HttpConnection> self(this);
    HttpResponse response;
    try {
        response = m_dispatcher(m_parser.request());
    } catch (const std::exception &e) {
        response = HttpResponse::plainText(500, QByteArray("handler failed: ") + e.what() + '\n');
    } catch (...) {
        response = HttpResponse::plainText(500, "handler failed\n");
    }
    // A receiver of the request may have torn the server down.
    if (!self || m_phase != Phase::Reading)
        return;
    respond(response);
}

void HttpConnection::respond(const HttpResponse &response)
{
    if (!canWrite()) {
        m_socket->abort();
        finish();
        return;
    }
    const bool isHead = m_parser.request().method == "HEAD";
    switch (response.mode) {
    case HttpResponse::Mode::Hold:
        m_phase = Phase::Holding;
        m_timer->stop();
        return;
    case HttpResponse::Mode::Stream:
        m_phase = Phase::Streaming;
        m_socket->write(response.serializedHead());
        m_streamLeft = isHead ? 0 : response.streamSize;
        m_timer->start(m_timeoutMsecs);
        fillStream();
        return;
    case HttpResponse::Mode::Complete:
        break;
    }
    m_phase = Phase::Writing;
    m_socket->write(response.serializedHead());
    if (!isHead && response.carriesBody())
        m_socket->write(response.body);
    m_timer->start(m_timeoutMsecs);
    m_socket->disconnectFromHost();
}

void HttpConnection::refuse(int status, const QByteArray &text)
{
    if (!canWrite()) {
        m_socket->abort();
        finish();
        return;
    }
    m_phase = Phase::Lingering;
    m_lingerClock.start();
    const HttpResponse response
        = HttpResponse::plainText(status, HttpResponse::standardReason(status) + ": " + text + '\n');
    m_socket->write(response.serializedHead() + response.body);
    m_timer->start(m_timeoutMsecs);
}

void HttpConnection::fillStream()
{
    while (m_phase == Phase::Streaming && m_streamLeft != 0 && pendingBytes() < streamHighWater) {
        if (m_streamLeft < 0) {
            m_socket->write(QByteArray::number(streamPieceBytes, 16) + "\r\n" + filler() + "\r\n");
        } else {
            const int n = int(qMin<qint64>(m_streamLeft, streamPieceBytes));
            m_socket->write(filler().constData(), n);
            m_streamLeft -= n;
        }
    }
    if (m_phase == Phase::Streaming && m_streamLeft == 0) {
        m_phase = Phase::Writing;
        m_socket->disconnectFromHost();
    }
}

void HttpConnection::onBytesWritten()
{
    switch (m_phase) {
    case Phase::Writing:
        m_timer->start(m_timeoutMsecs);
        break;
    case Phase::Streaming:
        m_timer->start(m_timeoutMsecs);
        fillStream();
        break;
    case Phase::Lingering:
        if (!m_lingerFlushed && pendingBytes() == 0) {
            m_lingerFlushed = true;
            m_timer->start(lingerQuietMsecs);
        }
        break;
    default:
        break;
    }
}

void HttpConnection::onTimeout()
{
    switch (m_phase) {
    case Phase::Reading:
        refuse(408, "no complete request in time");
        break;
    case Phase::Lingering:
        if (m_lingerFlushed) {
            m_phase = Phase::Writing;
            m_timer->start(m_timeoutMsecs);
            m_socket->disconnectFromHost();
        } else {
            // The client does not even read the refusal.
            m_socket->abort();
            finish();
        }
        break;
    case Phase::Writing:
    case Phase::Streaming:
        // The client stopped reading.
        m_socket->abort();
        finish();
        break;
    case Phase::Holding:
    case Phase::Done:
        break;
    }
}

void HttpConnection::onError(QAbstractSocket::SocketError error)
{
    // A peer that closes its side may still get the reply already queued; the
    // socket reports disconnected() once that is done.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    m_socket->abort();
    finish();
}

qint64 HttpConnection::pendingBytes() const
{
    qint64 bytes = m_socket->bytesToWrite();
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        bytes += ssl->encryptedBytesToWrite();
    return bytes;
}

bool HttpConnection::canWrite() const
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Before the handshake is through there is no channel to answer on.
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        return ssl->isEncrypted();
    return true;
}

void HttpConnection::finish()
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_timer->stop();
    emit finished();
    deleteLater();
}
