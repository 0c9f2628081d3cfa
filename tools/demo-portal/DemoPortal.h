#pragma once

#include "DemoDesktop.h"
#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QUrl>

class HttpsServer;

// Plays the portal server on 127.0.0.1: the identity check, the signed-in portal
// page, connection-file downloads and the exit address. Logs one line per request
// to standard output, never the password.
class DemoPortal : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        quint16 port = 8443;
        // Created with openssl on start when neither file exists.
        QString certificatePath;
        QString keyPath;
        bool plainHttp = false;
        // Where the handed-out connection files point.
        QString rdpHost = QStringLiteral("127.0.0.1");
        quint16 rdpPort = 3389;
        QString rdpUser;
    };

    explicit DemoPortal(const Options &options, QObject *parent = nullptr);
    ~DemoPortal() override;

    // Emits started() once listening, or failed().
    void start();
    QUrl url() const;

    // The answer to one request; no logging, no network.
    HttpResponse respond(const HttpRequest &request) const;

signals:
    void started(const QUrl &url);
    void failed(const QString &message);

private:
    HttpResponse handle(const HttpRequest &request) const;
    void createCertificate();
    void onOpensslFinished(int exitCode, QProcess::ExitStatus status);
    void listen();

    Options m_options;
    QList<DemoDesktop> m_desktops;
    HttpsServer *m_server;
    QProcess *m_openssl = nullptr;
};
