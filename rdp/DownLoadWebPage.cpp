#include "DownLoadWebPage.h"

#include "FreeRdpDialect.h"
#include "RdpTranslation.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>

DownLoadWebPage::DownLoadWebPage(QObject *parent)
    : QWebEnginePage(parent)
{
    connect(profile(), &QWebEngineProfile::downloadRequested, this, &DownLoadWebPage::onDownloadRequested);
}

DownLoadWebPage::~DownLoadWebPage() = default;

bool DownLoadWebPage::isExitAddress(const QUrl &url)
{
    return url.toString().endsWith(QLatin1String("abouttarsen"), Qt::CaseInsensitive);
}

QString DownLoadWebPage::freeRdpProgram()
{
#ifdef Q_OS_WIN
    return QDir::currentPath() + QStringLiteral("/wfreerdp.exe");
#else
    return QDir::currentPath() + QStringLiteral("/xfreerdp");
#endif
}

QStringList DownLoadWebPage::argumentsForLog(const QStringList &arguments)
{
    const QLatin1String gatewayPassword("/gp:");
    QStringList masked;
    masked.reserve(arguments.size());
    for (const QString &argument : arguments)
        masked << (argument.startsWith(gatewayPassword) ? gatewayPassword + QStringLiteral("***") : argument);
    return masked;
}

bool DownLoadWebPage::certificateError(const QWebEngineCertificateError &)
{
    return true;
}

bool DownLoadWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool)
{
    if (isExitAddress(url)) {
        // The receiver may delete this page; touch nothing of it afterwards.
        emit exitFromPage();
        return false;
    }
    return true;
}

void DownLoadWebPage::onDownloadRequested(QWebEngineDownloadItem *item)
{
    connect(item, &QWebEngineDownloadItem::finished, this, &DownLoadWebPage::launchFreeRdp);
    item->setDownloadDirectory(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
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
    auto *process = new QProcess(this);
    QStringList arguments{rdpFilePath};
    convertRdpFile(rdpFilePath.toLatin1(), arguments);
#ifndef Q_OS_WIN
    arguments = QStringList{rdpFilePath} + adaptForUpstreamFreeRdp(arguments.mid(1));
#endif
    const QString program = freeRdpProgram();
    qDebug() << program;

    // Nobody reads the client's output; do not let it pile up in memory.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::errorOccurred, this, [process, program](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            qWarning().noquote() << "FreeRDP client" << program << "failed to start:" << process->errorString();
    });
    process->start(program, arguments, QIODevice::ReadWrite);
    qDebug() << argumentsForLog(arguments).join(QLatin1Char(' '));
}
