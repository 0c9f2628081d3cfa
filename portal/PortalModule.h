#pragma once

#include <QtContainerFwd>

#include <functional>

class QObject;
class QSslCertificate;
class QString;
class QUrl;
class QWidget;

// The web-engine half of the portal, built as a module of its own and loaded
// on the first login press, so that the login form starts without the web
// engine in memory. The module has one entry point, a C function named by
// portalModuleEntry; everything else goes through this interface, which
// speaks in Qt Widgets types only.
class PortalModule
{
public:
    virtual ~PortalModule() = default;

    // A browser view owned by parent. Its signals loadStarted() and
    // loadFinished(bool ok) report the start and the end of every page load;
    // ok is false for a load that failed or was aborted.
    virtual QWidget *createView(QWidget *parent) = 0;

    // The portal page, owned by parent, in a profile of its own that keeps
    // cookies and storage in memory and goes with the page. It saves the
    // portal's downloads as the connection file and starts the client on it,
    // and emits exitFromPage() instead of following the exit address.
    virtual QObject *createPage(QObject *parent) = 0;

    // Shows page in view.
    virtual void setPage(QWidget *view, QObject *page) = 0;

    // The Accept-Language of the page's profile.
    virtual void setAcceptLanguage(QObject *page, const QString &languages) = 0;

    // Loads url in view; its origin becomes the portal's for the view's page:
    // only downloads from there open desktops.
    virtual void load(QWidget *view, const QUrl &url) = 0;

    // The address the view shows or failed to load, after redirects.
    virtual QUrl url(QWidget *view) = 0;

    // Stops a page that is about to go from answering the profile's downloads.
    virtual void detachPage(QObject *page) = 0;

    // Asked by the page for every certificate the web engine does not trust
    // itself, with the address being loaded, the server's chain and whether
    // the address is the page's own next one; true lets the load go on. It
    // runs inside the engine's own call: no dialog, no event loop. Without one
    // every such certificate is refused.
    using CertificateCheck
        = std::function<bool(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame)>;
    virtual void setCertificateCheck(QObject *page, CertificateCheck check) = 0;
};

// Changes with every change of the class above; a module built for another
// version returns no interface.
constexpr int portalModuleVersion = 3;

// extern "C" PortalModule *velmoCreatePortalModule(int version): a new
// interface owned by the caller, or null when version is not the module's.
using PortalModuleFactory = PortalModule *(*)(int version);
constexpr char portalModuleEntry[] = "velmoCreatePortalModule";
