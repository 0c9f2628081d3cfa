#include "DownLoadWebPage.h"

#include "FreeRdpLauncher.h"
#include "FreeRdpProbe.h"
#include "PrivateDownloadFolder.h"
#include "RdpTranslation.h"

#include <QDebug>
#include <QFile>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QWebEngineCertificateError>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>

DownLoadWebPage::DownLoadWebPage(QObject *parent)
    : QWebEnginePage(parent)
{
    connect(profile(), &QWebEngineProfile::downloadRequested, this, &DownLoadWebPage::onDownloadRequested);
    // Asked now, while the portal loads, so a click never waits for the answer.
    clientProbe = new FreeRdpProbe(FreeRdpLauncher::program(), this);
    removeStaleConnectionFile(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
}

DownLoadWebPage::~DownLoadWebPage() = default;

bool DownLoadWebPage::isExitAddress(const QUrl &url)
{
    return url.toString().endsWith(QLatin1String("abouttarsen"), Qt::CaseInsensitive);
}

bool DownLoadWebPage::certificateError(const QWebEngineCertificateError &error)
{
    // The sign-in address carries the password: an unjudged server gets nothing.
    return certificateCheck
        && certificateCheck(error.url(), error.certificateChain(), error.url() == mainFrameTarget);
}

bool DownLoadWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame)
{
    if (isExitAddress(url)) {
        // The receiver may delete this page; touch nothing of it afterwards.
        emit exitFromPage();
        return false;
    }
    if (isMainFrame)
        mainFrameTarget = url;
    return true;
}

void DownLoadWebPage::onDownloadRequested(QWebEngineDownloadItem *item)
{
    connect(item, &QWebEngineDownloadItem::finished, this, &DownLoadWebPage::launchFreeRdp);
    item->setDownloadDirectory(privateDownloadFolder());
    item->setDownloadFileName(QStringLiteral("tmp.rdp"));
    qDebug() << item->downloadDirectory() << item->downloadFileName();
    rdpFilePath = item->downloadDirectory() + QLatin1Char('/') + item->downloadFileName();
    QFile::remove(rdpFilePath);
    item->accept();
}

void DownLoadWebPage::convertRdpFile(const QByteArray &path, QStringList &arguments) const
{
    arguments += rdpOptions(readRdpHead(path));
}

void DownLoadWebPage::launchFreeRdp()
{
    // A cancelled or broken download leaves no usable file: no session then.
    if (const auto *item = qobject_cast<QWebEngineDownloadItem *>(sender())) {
        if (item->state() != QWebEngineDownloadItem::DownloadCompleted) {
            qWarning() << "download ended without a whole file, no client started:" << rdpFilePath
                       << item->interruptReasonString();
            return;
        }
    }
    makeOwnerOnly(rdpFilePath);
    QStringList arguments {rdpFilePath};
    // In the file system's own encoding: a temporary folder under a Chinese user
    // name must still be readable.
    convertRdpFile(QFile::encodeName(rdpFilePath), arguments);
    FreeRdpLauncher::start(arguments, this, clientProbe->dialect());
}
