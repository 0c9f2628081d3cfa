#include "FreeRdpLauncher.h"

#include "FreeRdpDialect.h"

#include <QDebug>
#include <QDir>
#include <QProcess>

QString FreeRdpLauncher::program()
{
#ifdef Q_OS_WIN
    return QDir::currentPath() + QStringLiteral("/wfreerdp.exe");
#else
    return QDir::currentPath() + QStringLiteral("/xfreerdp");
#endif
}

QStringList FreeRdpLauncher::clientArguments(const QStringList &translated)
{
#ifdef Q_OS_WIN
    return translated;
#else
    if (translated.isEmpty())
        return translated;
    return QStringList {translated.first()} + adaptForUpstreamFreeRdp(translated.mid(1));
#endif
}

QStringList FreeRdpLauncher::argumentsForLog(const QStringList &arguments)
{
    const QLatin1String gatewayPassword("/gp:");
    QStringList masked;
    masked.reserve(arguments.size());
    for (const QString &argument : arguments)
        masked << (argument.startsWith(gatewayPassword) ? gatewayPassword + QStringLiteral("***") : argument);
    return masked;
}

QProcess *FreeRdpLauncher::start(const QStringList &translated, QObject *parent)
{
    auto *process = new QProcess(parent);
    const QString client = program();
    const QStringList arguments = clientArguments(translated);
    qDebug() << client;

    // Nobody reads the client's output; it must not pile up in memory.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(
        process, &QProcess::errorOccurred, process, [process, client](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                qWarning().noquote() << "FreeRDP client" << client
                                     << "failed to start:" << process->errorString();
        });
    process->start(client, arguments, QIODevice::ReadWrite);
    qDebug() << argumentsForLog(arguments).join(QLatin1Char(' '));
    return process;
}
