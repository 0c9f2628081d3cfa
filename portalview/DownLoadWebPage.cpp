#include "DownLoadWebPage.h"

#include "FreeRdpClient.h"
#include "FreeRdpLauncher.h"
#include "FreeRdpProbe.h"
#include "LoginStep.h"
#include "OptionLines.h"
#include "PortalOrigin.h"
#include "PrivateDownloadFolder.h"
#include "RdpTranslation.h"
#include "SecretMask.h"
#include "WebEngineDownload.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QWebEngineCertificateError>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

// The web engine's own name and threshold for page console messages.
Q_LOGGING_CATEGORY(pageConsole, "js", QtWarningMsg)

// Connection files are a few hundred bytes; anything near this is not one.
constexpr qint64 maxConnectionFileSize = 1024 * 1024;
constexpr int maxConsoleMessageLength = 1000;
constexpr int maxConsoleMessagesPerPage = 50;

QWebEngineProfile *newProfile()
{
    LoginStep step("profile");
    return new QWebEngineProfile;
}

} // namespace

// A profile without a storage name lives in memory only. It is handed to the
// page's base first and made the page's child here, so it goes after the page
// has let go of it.
DownLoadWebPage::DownLoadWebPage(QObject *parent)
    : QWebEnginePage(newProfile(), parent)
{
    profile()->setParent(this);
    connect(profile(), &QWebEngineProfile::downloadRequested, this, &DownLoadWebPage::onDownloadRequested);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    connect(this, &QWebEnginePage::certificateError, this, &DownLoadWebPage::onCertificateError);
#endif
    // Asked now, while the portal loads, so a click never waits for the answer.
    clientProbe = new FreeRdpProbe(FreeRdpLauncher::program(), this);
    removeStaleConnectionFile(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
    removeStaleDesktopFolders(privateDownloadFolder());
}

DownLoadWebPage::~DownLoadWebPage()
{
    reportDroppedConsoleMessages();
    // The portal is left: its clients end with the page, and their files go.
    for (const QString &folder : std::as_const(desktopFolders))
        QDir(folder).removeRecursively();
}

bool DownLoadWebPage::isExitAddress(const QUrl &url)
{
    return url.toString().endsWith(QLatin1String("abouttarsen"), Qt::CaseInsensitive);
}

bool DownLoadWebPage::acceptsCertificate(const QWebEngineCertificateError &error) const
{
    // The sign-in address carries the password: an unjudged server gets nothing.
    return certificateCheck
        && certificateCheck(error.url(), error.certificateChain(), error.url() == mainFrameTarget);
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
bool DownLoadWebPage::certificateError(const QWebEngineCertificateError &error)
{
    return acceptsCertificate(error);
}
#else
void DownLoadWebPage::onCertificateError(QWebEngineCertificateError error)
{
    if (acceptsCertificate(error))
        error.acceptCertificate();
    else
        error.rejectCertificate();
}
#endif

bool DownLoadWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame)
{
    if (isExitAddress(url) && !frameMayExit(url, isMainFrame, portalAddress)) {
        qWarning().noquote() << QStringLiteral(
            "exit address in a frame of %1 ignored: only the portal ends the session")
                                    .arg(originText(url));
        return true;
    }
    if (isExitAddress(url)) {
        // The receiver may delete this page; touch nothing of it afterwards.
        emit exitFromPage();
        return false;
    }
    if (isMainFrame) {
        reportDroppedConsoleMessages();
        mainFrameTarget = url;
    }
    return true;
}

void DownLoadWebPage::javaScriptConsoleMessage(
    JavaScriptConsoleMessageLevel level, const QString &message, int, const QString &)
{
    const QtMsgType type = level == InfoMessageLevel ? QtInfoMsg
        : level == WarningMessageLevel               ? QtWarningMsg
                                                     : QtCriticalMsg;
    if (!pageConsole().isEnabled(type))
        return;
    // A page may log its own address, which on the sign-in page holds the
    // password, and may log without end.
    if (consoleLogged >= maxConsoleMessagesPerPage) {
        ++consoleDropped;
        return;
    }
    ++consoleLogged;
    const QString text = maskLine(message).left(maxConsoleMessageLength);
    if (type == QtInfoMsg)
        qCInfo(pageConsole).noquote() << text;
    else if (type == QtWarningMsg)
        qCWarning(pageConsole).noquote() << text;
    else
        qCCritical(pageConsole).noquote() << text;
}

void DownLoadWebPage::reportDroppedConsoleMessages()
{
    if (consoleDropped > 0)
        qCWarning(pageConsole).noquote()
            << QStringLiteral("%1 more console message(s) of the page not logged").arg(consoleDropped);
    consoleLogged = 0;
    consoleDropped = 0;
}

QString DownLoadWebPage::dialogTitle(const char *kind, const QUrl &securityOrigin) const
{
    // The asking frame's own origin: while the first page's scripts run, Qt 6
    // may not have given the page its address yet.
    const QUrl source = securityOrigin.isEmpty() ? url() : securityOrigin;
    const QString origin = originOf(source);
    return QStringLiteral("Javascript %1 - %2")
        .arg(QLatin1String(kind), origin.isEmpty() ? source.scheme() + QLatin1Char(':') : origin);
}

QWidget *DownLoadWebPage::dialogParent() const
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QWebEngineView::forPage(this);
#else
    return view();
#endif
}

void DownLoadWebPage::javaScriptAlert(const QUrl &securityOrigin, const QString &message)
{
    QMessageBox::information(dialogParent(), dialogTitle("Alert", securityOrigin), message.toHtmlEscaped());
}

bool DownLoadWebPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &message)
{
    return QMessageBox::information(dialogParent(), dialogTitle("Confirm", securityOrigin),
               message.toHtmlEscaped(), QMessageBox::Ok, QMessageBox::Cancel)
        == QMessageBox::Ok;
}

bool DownLoadWebPage::javaScriptPrompt(
    const QUrl &securityOrigin, const QString &message, const QString &defaultValue, QString *result)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(dialogParent(), dialogTitle("Prompt", securityOrigin),
        message.toHtmlEscaped(), QLineEdit::Normal, defaultValue, &accepted);
    if (result)
        *result = text;
    return accepted;
}

void DownLoadWebPage::onDownloadRequested(WebEngineDownload *item)
{
    // The item's page decides, not the profile: another page may share it.
    if (item->page() != this)
        return;
    if (item->url().scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
        // Its content is its own and no engine says which frame offered it.
        qWarning().noquote() << QStringLiteral(
            "download from data: on %1 refused: desktops come from the portal only")
                                    .arg(originText(url()));
        item->cancel();
        return;
    }
    if (!isPortalOrigin(item->url(), portalAddress)) {
        qWarning().noquote() << QStringLiteral("download from %1 refused: desktops come from the portal only")
                                    .arg(originText(item->url()));
        item->cancel();
        return;
    }
    // Each desktop its own file, which no later download rewrites while its
    // client may still read it.
    const QString folder = makeDesktopFolder(privateDownloadFolder());
    if (folder.isEmpty()) {
        qWarning().noquote() << "no private folder for the connection file in" << privateDownloadFolder()
                             << "; no client started";
        item->cancel();
        return;
    }
    desktopFolders << folder;
    connect(item, downloadFinishedSignal, this, &DownLoadWebPage::launchFreeRdp);
    connect(item, downloadProgressSignal, this, &DownLoadWebPage::onDownloadProgress);
    item->setDownloadDirectory(folder);
    item->setDownloadFileName(QStringLiteral("tmp.rdp"));
    qDebug() << item->downloadDirectory() << item->downloadFileName();
    rdpFilePath = item->downloadDirectory() + QLatin1Char('/') + item->downloadFileName();
    item->accept();
}

QString DownLoadWebPage::originText(const QUrl &url)
{
    const QString origin = originOf(url);
    return origin.isEmpty() ? url.scheme() + QLatin1Char(':') : origin;
}

void DownLoadWebPage::dropDesktopFolder(const QString &filePath)
{
    const QString folder = QFileInfo(filePath).path();
    if (desktopFolders.removeOne(folder))
        QDir(folder).removeRecursively();
}

void DownLoadWebPage::onDownloadProgress()
{
    auto *item = qobject_cast<WebEngineDownload *>(sender());
    if (item && item->receivedBytes() > maxConnectionFileSize)
        refuseOversized(item);
}

void DownLoadWebPage::refuseOversized(WebEngineDownload *item)
{
    // Cut off where it passes the limit, so it cannot fill the runtime folder.
    item->disconnect(this);
    item->cancel();
    // It may have ended before its progress was seen.
    dropDesktopFolder(item->downloadDirectory() + QLatin1Char('/') + item->downloadFileName());
    qWarning().noquote() << QStringLiteral(
        "download over %1 bytes cancelled: no connection file is that large; "
        "no client started")
                                .arg(maxConnectionFileSize);
}

void DownLoadWebPage::convertRdpFile(const QByteArray &path, QStringList &arguments) const
{
    arguments += rdpOptions(readRdpHead(path));
}

void DownLoadWebPage::launchFreeRdp()
{
    // The file of the download that ended, not the latest one's.
    QString path = rdpFilePath;
    // A cancelled or broken download leaves no usable file: no session then.
    if (auto *item = qobject_cast<WebEngineDownload *>(sender())) {
        path = item->downloadDirectory() + QLatin1Char('/') + item->downloadFileName();
        if (item->receivedBytes() > maxConnectionFileSize) {
            refuseOversized(item);
            return;
        }
        if (item->state() != WebEngineDownload::DownloadCompleted) {
            qWarning() << "download ended without a whole file, no client started:" << path
                       << item->interruptReasonString();
            dropDesktopFolder(path);
            return;
        }
    }
    makeOwnerOnly(path);
    if (!removeOptionLines(path)) {
        dropDesktopFolder(path);
        return;
    }
    startDesktop(++lastDesktop, path);
}

void DownLoadWebPage::reconnectDesktop(int desktop)
{
    const QString path = keptDesktops.take(desktop);
    if (path.isEmpty())
        return;
    qInfo() << "Desktop" << desktop << "started again";
    startDesktop(desktop, path);
}

void DownLoadWebPage::releaseDesktop(int desktop)
{
    const QString path = keptDesktops.take(desktop);
    if (!path.isEmpty())
        dropDesktopFolder(path);
}

void DownLoadWebPage::startDesktop(int desktop, const QString &path)
{
    QStringList arguments {path};
    // In the file system's own encoding: a temporary folder under a Chinese user
    // name must still be readable.
    convertRdpFile(QFile::encodeName(path), arguments);
    if (floatingBar)
        arguments = withFloatingBar(arguments);
    // The client may echo it in its last words, a page script in its own.
    for (const QString &secret : secretsOf(arguments))
        emit secretInUse(secret);
    // A file handed out while the portal still loads waits for the probe:
    // the options differ between FreeRDP 2 and 3.
    clientProbe->whenDone(this, [this, arguments, path, desktop](FreeRdpDialect dialect) {
        FreeRdpClient *client = FreeRdpLauncher::start(arguments, this, dialect);
        if (!client) {
            dropDesktopFolder(path);
            return;
        }
        connect(client, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, client, path, desktop](int exitCode, QProcess::ExitStatus status) {
                ClientEnd end;
                end.desktop = desktop;
                end.crashed = status == QProcess::CrashExit;
                end.exitCode = exitCode;
                end.lastWords = client->lastWords();
                endDesktop(end, path);
            });
        connect(client, &QProcess::errorOccurred, this, [this, path, desktop](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            ClientEnd end;
            end.desktop = desktop;
            end.started = false;
            endDesktop(end, path);
        });
        emit clientStarted(desktop);
    });
}

void DownLoadWebPage::endDesktop(const ClientEnd &end, const QString &path)
{
    // The file stays for a new try while the window asks whether to make one.
    if (offersReconnect(clientEndReason(end)))
        keptDesktops.insert(end.desktop, path);
    else
        dropDesktopFolder(path);
    emit clientEnded(end);
}
