#include "HttpsServer.h"

#include "HttpConnection.h"
#include "SslTcpServer.h"

#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>

static QByteArray readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return {};
    }
    return file.readAll();
}

HttpsServer::HttpsServer(QObject *parent)
    : QObject(parent)
    , m_listener(new SslTcpServer(this))
{
    qRegisterMetaType<HttpRequest>();
    connect(m_listener, &QTcpServer::newConnection, this, &HttpsServer::acceptConnections);
}

HttpsServer::~HttpsServer() = default;

bool HttpsServer::listen(const QString &certificatePemPath, const QString &keyPemPath, quint16 port)
{
    m_errorString.clear();
    if (m_listener->isListening()) {
        m_errorString = QStringLiteral("already listening");
        return false;
    }
    if (certificatePemPath.isEmpty() != keyPemPath.isEmpty()) {
        m_errorString = QStringLiteral("a certificate needs its key and a key its certificate");
        return false;
    }

    if (certificatePemPath.isEmpty()) {
        m_listener->clearSslConfiguration();
    } else {
        if (!QSslSocket::supportsSsl()) {
            m_errorString = QStringLiteral("TLS is not available: ") + QSslSocket::sslLibraryVersionString();
            return false;
        }
        const QByteArray certificatePem = readFile(certificatePemPath, &m_errorString);
        const QByteArray keyPem = readFile(keyPemPath, &m_errorString);
        if (!m_errorString.isEmpty())
            return false;
        const QList<QSslCertificate> chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
        if (chain.isEmpty() || chain.first().isNull()) {
            m_errorString = QStringLiteral("no certificate in ") + certificatePemPath;
            return false;
        }
        QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
        if (key.isNull())
            key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
        if (key.isNull()) {
            m_errorString = QStringLiteral("no RSA or EC private key in ") + keyPemPath;
            return false;
        }
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificateChain(chain);
        configuration.setPrivateKey(key);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        configuration.setProtocol(QSsl::SecureProtocols);
        m_listener->setSslConfiguration(configuration);
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

bool HttpsServer::isListening() const
{
    return m_listener->isListening();
}

bool HttpsServer::isHttps() const
{
    return m_listener->usesTls();
}

quint16 HttpsServer::port() const
{
    return m_listener->serverPort();
}

QUrl HttpsServer::url(const QString &pathAndQuery) const
{
    const QString scheme = isHttps() ? QStringLiteral("https") : QStringLiteral("http");
    QString rest = pathAndQuery;
    if (!rest.startsWith(QLatin1Char('/')))
        rest.prepend(QLatin1Char('/'));
    return QUrl(scheme + QStringLiteral("://127.0.0.1:") + QString::number(port()) + rest);
}

void HttpsServer::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void HttpsServer::acceptConnections()
{
    while (m_listener->hasPendingConnections()) {
        QTcpSocket *socket = m_listener->nextPendingConnection();
        if (m_openConnections >= maxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto *connection = new HttpConnection(
            socket, [this](const HttpRequest &request) { return dispatch(request); }, m_requestTimeoutMsecs,
            this);
        ++m_openConnections;
        connect(connection, &HttpConnection::finished, this, [this] { --m_openConnections; });
    }
}

HttpResponse HttpsServer::dispatch(const HttpRequest &request)
{
    if (m_recording)
        m_requests.append(request);
    QPointer<HttpsServer> self(this);
    emit requestReceived(request);
    if (!self)
        return HttpResponse::notFound();
    return m_handler ? m_handler(request) : HttpResponse::notFound();
}
