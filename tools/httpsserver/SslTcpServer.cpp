#include "SslTcpServer.h"

#include <QSslSocket>

SslTcpServer::SslTcpServer(QObject *parent)
    : QTcpServer(parent)
{
}

void SslTcpServer::setSslConfiguration(const QSslConfiguration &configuration)
{
    m_configuration = configuration;
    m_usesTls = true;
}

void SslTcpServer::clearSslConfiguration()
{
    m_configuration = QSslConfiguration();
    m_usesTls = false;
}

void SslTcpServer::incomingConnection(qintptr socketDescriptor)
{
    if (!m_usesTls) {
        QTcpServer::incomingConnection(socketDescriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(m_configuration);
    socket->startServerEncryption();
    addPendingConnection(socket);
}
