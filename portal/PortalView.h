#pragma once

#include "ClientEnd.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QSslCertificate;

// On the program's side of the seam, for the portal module to fill in: the
// module is built with hidden symbols, so this class and its meta-object are
// the program's own and the module's view is one of them, not a copy.
#if defined(VELMO_PORTAL_MODULE)
#define VELMO_PORTAL_SEAM Q_DECL_IMPORT
#else
#define VELMO_PORTAL_SEAM Q_DECL_EXPORT
#endif

// The portal in a browser view: the view and the portal page it shows, in a
// profile of its own that keeps cookies and storage in memory and goes with
// the view. The page saves the portal's downloads as connection files and
// starts the client on them; its clients end when the view goes. It follows no
// exit address but emits exitFromPage() instead.
//
// Everything inline but what moc writes, so that a program which connects to
// the signals carries the whole class for the module.
class VELMO_PORTAL_SEAM PortalView : public QWidget
{
    Q_OBJECT

public:
    // Asked for every certificate the web engine does not trust itself, with
    // the address being loaded, the server's chain and whether the address is
    // the page's own next one; true lets the load go on. It runs inside the
    // engine's own call: no dialog, no event loop. Without one every such
    // certificate is refused.
    using CertificateCheck
        = std::function<bool(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame)>;

    explicit PortalView(QWidget *parent = nullptr)
        : QWidget(parent)
    {
    }

    // Loads url; its origin becomes the portal's: only downloads from there
    // open desktops.
    virtual void load(const QUrl &url) = 0;
    virtual void reload() = 0;
    // The address shown, or the one that failed to load, after redirects.
    virtual QUrl url() const = 0;
    // The Accept-Language of the view's profile.
    virtual void setAcceptLanguage(const QString &languages) = 0;
    virtual void setCertificateCheck(CertificateCheck check) = 0;
    // Whether desktops opened full screen get FreeRDP's floating bar.
    virtual void setFloatingBar(bool shown) = 0;
    // After a clientEnded() a new try may mend: a new client on the same
    // desktop's file, or the file let go. The view's end lets go of all.
    virtual void reconnectDesktop(int desktop) = 0;
    virtual void releaseDesktop(int desktop) = 0;

signals:
    void loadStarted();
    // ok is false for a load that failed or was aborted.
    void loadFinished(bool ok);
    // The portal asked to be left.
    void exitFromPage();
    // A password the page handed to a client (a gateway's): no log line may show it.
    void secretInUse(const QString &value);
    // A client was started for a desktop, anew for a reconnected one.
    void clientStarted(int desktop);
    // A desktop's client ended by itself, or could not be started.
    void clientEnded(const ClientEnd &end);
};
