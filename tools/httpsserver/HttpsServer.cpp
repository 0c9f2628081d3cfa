#include "HttpsServer.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

// Hands out sockets that start TLS at once when a configuration is set.
class Listener : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;
    QSslConfiguration tls;
    bool usesTls = false;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!usesTls) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setSslConfiguration(tls);
        socket->startServerEncryption();
        addPendingConnection(socket);
    }
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What one connection has received and how far it has got; a child of its socket.
class Exchange : public QObject
{
public:
    explicit Exchange(QObject *socket)
        : QObject(socket)
    {
        deadline.setSingleShot(true);
    }
    QByteArray received;
    QTimer deadline;
    bool answering = false;
};

void answer(QTcpSocket *socket, Exchange *exchange, const HttpResponse &response, bool withBody)
{
    exchange->answering = true;
    QTimer *deadline = &exchange->deadline;
    if (response.mode == HttpResponse::Mode::Hold) {
        deadline->stop();
        return;
    }
    if (response.mode == HttpResponse::Mode::Drop) {
        deadline->stop();
        socket->disconnectFromHost();
        return;
    }
    // Progress in either layer counts; a client that reads nothing runs into the deadline.
    const auto progress = [deadline] { deadline->start(); };
    QObject::connect(socket, &QIODevice::bytesWritten, exchange, progress);
    auto *tls = qobject_cast<QSslSocket *>(socket);
    if (tls)
        QObject::connect(tls, &QSslSocket::encryptedBytesWritten, exchange, progress);
    deadline->start();

    socket->write(response.head());
    if (response.mode == HttpResponse::Mode::Complete) {
        if (withBody)
            socket->write(response.body);
        socket->disconnectFromHost();
        return;
    }
    // Endless: chunks are topped up only as the client takes them, so memory stays flat.
    const auto refill = [socket, tls] {
        static const QByteArray chunk = "4000\r\n" + QByteArray(0x4000, 'x') + "\r\n";
        while (socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0) < 4 * chunk.size())
            socket->write(chunk);
    };
    QObject::connect(socket, &QIODevice::bytesWritten, exchange, refill);
    if (tls)
        QObject::connect(tls, &QSslSocket::encryptedBytesWritten, exchange, refill);
    refill();
}

} // namespace

HttpsServer::HttpsServer(QObject *parent)
    : QObject(parent)
    , m_listener(new Listener(this))
{
    connect(m_listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
            if (m_openConnections >= maxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            serve(socket);
        }
    });
}

HttpsServer::~HttpsServer() = default;

bool HttpsServer::listen(const QString &certificatePemPath, const QString &keyPemPath, quint16 port)
{
    auto *listener = static_cast<Listener *>(m_listener);
    m_errorString.clear();
    if (certificatePemPath.isEmpty() != keyPemPath.isEmpty()) {
        m_errorString = QStringLiteral("a certificate needs its key and a key its certificate");
        return false;
    }
    listener->usesTls = !certificatePemPath.isEmpty();
    if (listener->usesTls) {
        const QList<QSslCertificate> chain = QSslCertificate::fromData(readFile(certificatePemPath));
        const QByteArray keyPem = readFile(keyPemPath);
        QSslKey key(keyPem, QSsl::Rsa);
        if (key.isNull())
            key = QSslKey(keyPem, QSsl::Ec);
        if (chain.isEmpty() || key.isNull()) {
            m_errorString
                = QStringLiteral("no certificate in %1 or no key in %2").arg(certificatePemPath, keyPemPath);
            return false;
        }
        listener->tls = QSslConfiguration::defaultConfiguration();
        listener->tls.setLocalCertificateChain(chain);
        listener->tls.setPrivateKey(key);
        listener->tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    }
    if (!m_listener->listen(QHostAddress::LocalHost, port)) {
        m_errorString = m_listener->errorString();
        return false;
    }
    return true;
}

void HttpsServer::close()
{
    m_listener->close();
}

quint16 HttpsServer::port() const
{
    return m_listener->serverPort();
}

QUrl HttpsServer::url(const QString &pathAndQuery) const
{
    const bool https = static_cast<const Listener *>(m_listener)->usesTls;
    const QString slash = pathAndQuery.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return QUrl((https ? QStringLiteral("https") : QStringLiteral("http")) + QStringLiteral("://127.0.0.1:")
        + QString::number(port()) + slash + pathAndQuery);
}

void HttpsServer::serve(QTcpSocket *socket)
{
    ++m_openConnections;
    const int number = ++m_connections;
    connect(socket, &QObject::destroyed, this, [this] { --m_openConnections; });
    if (auto *tls = qobject_cast<QSslSocket *>(socket))
        connect(tls, &QSslSocket::encrypted, this, [this] { ++m_handshakes; });
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);

    auto *exchange = new Exchange(socket);
    connect(&exchange->deadline, &QTimer::timeout, socket, [socket, exchange] {
        if (exchange->answering)
            socket->abort();
        else
            answer(socket, exchange, HttpResponse::plainText(408, "Request Timeout\n"), true);
    });
    exchange->deadline.start(m_requestTimeoutMsecs);

    connect(socket, &QIODevice::readyRead, exchange, [this, socket, exchange, number] {
        if (exchange->answering) {
            socket->readAll(); // one request per connection; the rest is dropped
            return;
        }
        exchange->received += socket->read(maxHeadBytes + maxBodyBytes + 1 - exchange->received.size());
        HttpRequest request;
        const int status = HttpRequest::parse(exchange->received, &request, maxHeadBytes, maxBodyBytes);
        if (status == 0)
            return;
        exchange->received.clear();
        if (status != 200) {
            answer(socket, exchange, HttpResponse::plainText(status, "Refused\n"), true);
            return;
        }
        request.connection = number;
        if (m_recording)
            m_requests.append(request);
        answer(socket, exchange, m_handler ? m_handler(request) : HttpResponse::notFound(),
            request.method != "HEAD");
    });
}
