#include "DemoPortal.h"

#include "HttpsServer.h"
#include "PortalContent.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

static void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    // Scripts wait on these lines through a pipe.
    std::fflush(stdout);
}

static HttpResponse htmlPage(int status, const QByteArray &html)
{
    HttpResponse response = HttpResponse::html(status, html);
    // Pages depend on the credentials in the address; nothing of them is to be kept.
    response.setHeader("Cache-Control", "no-store");
    return response;
}

DemoPortal::DemoPortal(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_desktops(demoDesktops())
    , m_server(new HttpsServer(this))
{
    // Runs for days as a demo: keeping every request would only grow.
    m_server->setRecordingRequests(false);
    m_server->setHandler([this](const HttpRequest &request) { return handle(request); });
}

DemoPortal::~DemoPortal() = default;

QUrl DemoPortal::url() const
{
    return m_server->url();
}

void DemoPortal::start()
{
    if (m_options.plainHttp) {
        listen();
        return;
    }
    const bool haveCertificate = QFileInfo::exists(m_options.certificatePath);
    const bool haveKey = QFileInfo::exists(m_options.keyPath);
    if (haveCertificate && haveKey) {
        listen();
    } else if (!haveCertificate && !haveKey) {
        createCertificate();
    } else {
        // Never overwrite half of an existing pair.
        emit failed(QStringLiteral("only one of %1 and %2 exists; give both or neither")
                        .arg(m_options.certificatePath, m_options.keyPath));
    }
}

void DemoPortal::createCertificate()
{
    for (const QString &path : {m_options.certificatePath, m_options.keyPath}) {
        const QString directory = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(directory)) {
            emit failed(QStringLiteral("cannot create the directory ") + directory);
            return;
        }
    }
    m_openssl = new QProcess(this);
    m_openssl->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_openssl, &QProcess::finished, this, &DemoPortal::onOpensslFinished);
    connect(m_openssl, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            emit failed(
                QStringLiteral("cannot run openssl to create the certificate: ") + m_openssl->errorString());
    });
    m_openssl->start(QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-sha256"),
            QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
            QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
            QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"), QStringLiteral("-keyout"),
            m_options.keyPath, QStringLiteral("-out"), m_options.certificatePath});
}

void DemoPortal::onOpensslFinished(int exitCode, QProcess::ExitStatus status)
{
    const QString output = QString::fromLocal8Bit(m_openssl->readAll()).trimmed();
    m_openssl->deleteLater();
    m_openssl = nullptr;
    if (status != QProcess::NormalExit || exitCode != 0 || !QFileInfo::exists(m_options.certificatePath)
        || !QFileInfo::exists(m_options.keyPath)) {
        emit failed(QStringLiteral("openssl could not create the certificate: ") + output.right(400));
        return;
    }
    printLine("demo-portal created a self-signed certificate: " + m_options.certificatePath.toLocal8Bit());
    listen();
}

void DemoPortal::listen()
{
    const bool ok = m_options.plainHttp
        ? m_server->listen({}, {}, m_options.port)
        : m_server->listen(m_options.certificatePath, m_options.keyPath, m_options.port);
    if (!ok) {
        emit failed(m_server->errorString());
        return;
    }
    emit started(m_server->url());
}

HttpResponse DemoPortal::handle(const HttpRequest &request) const
{
    printLine(PortalContent::requestLogLine(QDateTime::currentDateTime(), request.method, request.target));
    return respond(request);
}

HttpResponse DemoPortal::respond(const HttpRequest &request) const
{
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse response = HttpResponse::plainText(405, "Only GET and HEAD are served\n");
        response.setHeader("Allow", "GET, HEAD");
        return response;
    }
    if (!PortalContent::hasValidPercentEncoding(request.target)) {
        return htmlPage(400,
            PortalContent::messagePage(QStringLiteral("Bad request"),
                QStringLiteral("The address holds a malformed "
                               "percent-encoding.")));
    }

    const QString &path = request.path;
    if (path == QLatin1String("/public/merolink-identify/is-me.do"))
        return HttpResponse::json(200, "{\"isMe\":true}");

    if (path.startsWith(QLatin1String("/desktops/")) && path.endsWith(QLatin1String(".rdp"))) {
        const QByteArray name = path.mid(10, path.size() - 14).toUtf8();
        const DemoDesktop *desktop = findDemoDesktop(m_desktops, name);
        if (!desktop)
            return htmlPage(404,
                PortalContent::messagePage(QStringLiteral("Not found"), QStringLiteral("No such desktop.")));
        HttpResponse response(200,
            PortalContent::connectionFile(*desktop, m_options.rdpHost, m_options.rdpPort, m_options.rdpUser),
            "application/x-rdp");
        response.setHeader("Content-Disposition", "attachment; filename=\"" + desktop->name + ".rdp\"");
        response.setHeader("Cache-Control", "no-store");
        return response;
    }

    if (path == QLatin1String("/logout/abouttarsen"))
        return htmlPage(200, PortalContent::signedOutPage());

    const QByteArray user = PortalContent::rawQueryValue(request.rawQuery, "username");
    if (!user.isEmpty()) {
        bool serialValid = false;
        const QByteArray sid
            = QByteArray::fromPercentEncoding(PortalContent::rawQueryValue(request.rawQuery, "sid"));
        const QString serial = PortalContent::decodeSerialId(sid, &serialValid);
        const bool passwordGiven = !PortalContent::rawQueryValue(request.rawQuery, "password").isEmpty();
        return htmlPage(200,
            PortalContent::portalPage(
                PortalContent::decodeLatin1Value(user), passwordGiven, serial, serialValid, m_desktops));
    }
    if (path == QLatin1String("/"))
        return htmlPage(200, PortalContent::notSignedInPage());

    return htmlPage(404,
        PortalContent::messagePage(
            QStringLiteral("Not found"), QStringLiteral("There is nothing at this address.")));
}
