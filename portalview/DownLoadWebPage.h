#pragma once

#include "ClientEnd.h"
#include "PortalView.h"
#include "WebEngineDownload.h"

#include <QMap>
#include <QStringList>
#include <QWebEnginePage>

class FreeRdpProbe;
class QWebEngineCertificateError;

// The page behind the portal view. A download of this page from the portal
// (see setPortalAddress) is taken to be an RDP connection file: it is saved as
// tmp.rdp in a folder of its own inside one of this user's own (the temporary
// directory on Windows) and, once finished, opened in a FreeRDP client started
// as a child process of the page. Downloads from anywhere else, data: addresses
// (whose frame nobody can tell) and files over 1 MiB are refused.
// A navigation to an address ending in "abouttarsen" is the portal's way of
// saying goodbye: it is dropped and exitFromPage() is emitted instead; a frame
// of another origin going there ends nothing.
// The page works in a profile of its own that keeps cookies and storage in
// memory only and goes with the page, so a portal session ends with it.
// A certificate the web engine does not trust is for the certificate check to
// judge; without a check it is refused.
class DownLoadWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit DownLoadWebPage(QObject *parent = nullptr);
    ~DownLoadWebPage() override;

    // The portal's address; only downloads from its origin open desktops.
    // Until it is set, every download is refused.
    void setPortalAddress(const QUrl &address) { portalAddress = address; }

    // Path of the latest download's file; empty until the first download. Each
    // download has a file of its own, in a private folder of its own, which
    // goes when its client ends, when the download fails, or with the page.
    QString downloadedFilePath() const { return rdpFilePath; }

    // Appends the FreeRDP options for the connection file at path.
    void convertRdpFile(const QByteArray &path, QStringList &arguments) const;

    // Starts a client on the latest download. Connected to each download's finished().
    void launchFreeRdp();

    // A desktop whose client ended for a reason a new try may mend keeps its
    // file until one of these: a new client on it, or the file goes.
    void reconnectDesktop(int desktop);
    void releaseDesktop(int desktop);

    // Decides on certificates the web engine does not trust; true lets the load
    // go on. mainFrame: url is where the page itself is going. Called from
    // inside the engine: it must not open a dialog.
    using CertificateCheck = PortalView::CertificateCheck;
    void setCertificateCheck(CertificateCheck check) { certificateCheck = std::move(check); }

    // Whether desktops opened full screen get FreeRDP's floating bar (the default).
    void setFloatingBar(bool shown) { floatingBar = shown; }

    // True for the portal's exit address.
    static bool isExitAddress(const QUrl &url);

signals:
    void exitFromPage();
    // Each client's end, by itself or for want of a program; not the ends the
    // page brings about when it goes.
    void clientEnded(const ClientEnd &end);
    void clientStarted(int desktop);
    // A password handed to a client, for the log to hide wherever it appears.
    void secretInUse(const QString &value);

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    bool certificateError(const QWebEngineCertificateError &error) override;
#endif
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
        const QString &sourceId) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message, const QString &defaultValue,
        QString *result) override;

private:
    bool acceptsCertificate(const QWebEngineCertificateError &error) const;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // A signal on Qt 6, answered through the error itself.
    void onCertificateError(QWebEngineCertificateError error);
#endif
    void startDesktop(int desktop, const QString &path);
    void endDesktop(const ClientEnd &end, const QString &path);
    void onDownloadRequested(WebEngineDownload *item);
    void onDownloadProgress();
    void refuseOversized(WebEngineDownload *item);
    void reportDroppedConsoleMessages();
    // Removes the private folder of one desktop's file.
    void dropDesktopFolder(const QString &filePath);
    // Scheme, host and port of url for the log, or its scheme alone.
    static QString originText(const QUrl &url);
    // The asking frame's scheme, host and port: the sign-in address holds the
    // password.
    QString dialogTitle(const char *kind, const QUrl &securityOrigin) const;
    // The view showing this page, which the page's dialogs belong to.
    QWidget *dialogParent() const;

    QUrl portalAddress;
    QString rdpFilePath;
    bool floatingBar = true;
    // The folders of this page's desktops that may still be in use.
    QStringList desktopFolders;
    // Files kept for a new try, by desktop.
    QMap<int, QString> keptDesktops;
    int lastDesktop = 0;
    // Console messages logged and dropped since the last main-frame navigation.
    int consoleLogged = 0;
    int consoleDropped = 0;
    FreeRdpProbe *clientProbe = nullptr;
    CertificateCheck certificateCheck;
    // Where the page itself is going, as against what it loads into itself.
    QUrl mainFrameTarget;
};
