#pragma once

#include <QStringList>
#include <QWebEnginePage>

#include <functional>

class FreeRdpProbe;
class QSslCertificate;
class QWebEngineDownloadItem;

// The page behind the portal view. Every download is taken to be an RDP
// connection file: it is saved as tmp.rdp in a folder of this user's own (the
// temporary directory on Windows) and, once finished, opened in a FreeRDP
// client started as a child process of the page.
// A navigation to an address ending in "abouttarsen" is the portal's way of
// saying goodbye: it is dropped and exitFromPage() is emitted instead.
// A certificate the web engine does not trust is for the certificate check to
// judge; without a check it is refused.
class DownLoadWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit DownLoadWebPage(QObject *parent = nullptr);
    ~DownLoadWebPage() override;

    // Path of the latest download's file; empty until the first download.
    QString downloadedFilePath() const { return rdpFilePath; }

    // Appends the FreeRDP options for the connection file at path.
    void convertRdpFile(const QByteArray &path, QStringList &arguments) const;

    // Starts a client on the latest download. Connected to each download's finished().
    void launchFreeRdp();

    // Decides on certificates the web engine does not trust; true lets the load
    // go on. mainFrame: url is where the page itself is going. Called from
    // inside the engine: it must not open a dialog.
    using CertificateCheck
        = std::function<bool(const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame)>;
    void setCertificateCheck(CertificateCheck check) { certificateCheck = std::move(check); }

    // True for the portal's exit address.
    static bool isExitAddress(const QUrl &url);

signals:
    void exitFromPage();

protected:
    bool certificateError(const QWebEngineCertificateError &error) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    void onDownloadRequested(QWebEngineDownloadItem *item);

    QString rdpFilePath;
    FreeRdpProbe *clientProbe = nullptr;
    CertificateCheck certificateCheck;
    // Where the page itself is going, as against what it loads into itself.
    QUrl mainFrameTarget;
};
