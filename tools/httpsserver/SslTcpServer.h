#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

// Hands out QSslSocket objects already negotiating TLS in server mode when a
// configuration with certificate and key is set, plain QTcpSocket objects otherwise.
class SslTcpServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit SslTcpServer(QObject *parent = nullptr);

    void setSslConfiguration(const QSslConfiguration &configuration);
    void clearSslConfiguration();
    bool usesTls() const { return m_usesTls; }

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QSslConfiguration m_configuration;
    bool m_usesTls = false;
};
