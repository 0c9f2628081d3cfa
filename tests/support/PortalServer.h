#pragma once

#include "HttpsServer.h"

#include <QUrlQuery>

// A local HTTPS portal for the web-engine tests: the identity endpoint, a page
// with a desktop link and exit links, and a connection file to download.
class PortalServer : public HttpsServer
{
public:
    explicit PortalServer(QObject *parent = nullptr)
        : HttpsServer(parent)
    {
        setHandler([this](const HttpRequest &request) { return answer(request); });
    }

    // name picks a pair of tests/data: "test", "second" or "impostor".
    bool start(const QString &name = QStringLiteral("test"), quint16 port = 0)
    {
        return listen(QStringLiteral(TEST_DATA_DIR "/%1-cert.pem").arg(name),
            QStringLiteral(TEST_DATA_DIR "/%1-key.pem").arg(name), port);
    }

    // The same address with another certificate, for connections from now on.
    bool restart(const QString &name)
    {
        const quint16 samePort = port();
        close();
        return start(name, samePort);
    }

    // "https://127.0.0.1:PORT", no trailing slash.
    QString address() const
    {
        QString text = url(QStringLiteral("/")).toString();
        text.chop(1);
        return text;
    }

    // Body of the identity reply; a null array answers 404 with no JSON.
    QByteArray identityReply = QByteArrayLiteral("{\"isMe\":true}");
    // The identity reply never comes: the connection is held open.
    bool holdIdentity = false;
    // The first page never finishes loading (a picture on it never comes) and
    // leaves for the exit address while it loads.
    bool exitBeforeLoaded = false;
    // The sign-in address answers with this page instead of the portal's, or
    // (dropSignIn) closes the connection without an answer.
    QByteArray signInPage;
    bool dropSignIn = false;
    // The connection file never ends: the download streams filler until
    // someone cancels it.
    bool endlessDownload = false;
    // Markup added to the sign-in page ("/").
    QByteArray signInExtra;
    // A Set-Cookie value sent with the sign-in page.
    QByteArray sessionCookie;
    // After the identity reply, restarts on this certificate: someone in the
    // middle who lets the check through and waits for the sign-in.
    QString certificateAfterIdentity;
    QByteArray connectionFile = QByteArrayLiteral("full address:s:127.0.0.1:3389\r\n"
                                                  "use multimon:i:1\r\n"
                                                  "redirectprinters:i:1\r\n");

    QVector<HttpRequest> requestsTo(const QString &path) const
    {
        QVector<HttpRequest> matching;
        const QVector<HttpRequest> all = requests();
        for (const HttpRequest &request : all)
            if (request.path == path)
                matching << request;
        return matching;
    }

    bool sawPathEndingWith(const QString &tail) const
    {
        const QVector<HttpRequest> all = requests();
        for (const HttpRequest &request : all)
            if (request.path.endsWith(tail, Qt::CaseInsensitive))
                return true;
        return false;
    }

private:
    HttpResponse answer(const HttpRequest &request)
    {
        if (request.path == QLatin1String("/public/merolink-identify/is-me.do")) {
            if (holdIdentity)
                return HttpResponse::hold();
            if (!certificateAfterIdentity.isEmpty()) {
                restart(certificateAfterIdentity);
                certificateAfterIdentity.clear();
            }
            if (identityReply.isNull())
                return HttpResponse::notFound();
            return HttpResponse::json(200, identityReply);
        }
        if (request.path == QLatin1String("/desktops/office.rdp")) {
            HttpResponse file = endlessDownload ? HttpResponse::endless()
                                                : HttpResponse(200, connectionFile, "application/x-rdp");
            file.setHeader("Content-Disposition", "attachment; filename=\"office.rdp\"");
            return file;
        }
        if (request.path == QLatin1String("/held.png"))
            return HttpResponse::hold();
        if (dropSignIn && request.path == QLatin1String("/"))
            return HttpResponse::drop();
        if (!signInPage.isNull() && request.path == QLatin1String("/"))
            return HttpResponse::html(200, signInPage);
        if (exitBeforeLoaded && request.path == QLatin1String("/"))
            return HttpResponse::html(200,
                "<html><body><img src='/held.png'>"
                "<script>setTimeout(function() { location.href = '/logout/abouttarsen'; }, 300);</script>"
                "</body></html>");
        if (request.path == QLatin1String("/")) {
            HttpResponse page = HttpResponse::html(
                200, QByteArray(portalPage).replace("</body>", QByteArray(signInExtra + "</body>")));
            if (!sessionCookie.isEmpty())
                page.setHeader("Set-Cookie", sessionCookie);
            return page;
        }
        if (request.path.startsWith(QLatin1String("/page")))
            return HttpResponse::html(200, portalPage);
        return HttpResponse::html(200, "<html><body>elsewhere</body></html>");
    }

    const QByteArray portalPage = QByteArrayLiteral(
        "<html><head><title>portal</title></head><body>"
        "<a id='rdp' href='/desktops/office.rdp'>Office</a> "
        "<a id='exit' href='/logout/abouttarsen'>Exit</a> "
        "<a id='near' href='/logout/abouttarsen/'>Near</a> "
        "<form id='form' action='/form/AboutTarsen' method='post'><input name='x' value='1'></form>"
        "</body></html>");
};
