#include "FreeRdpLauncher.h"

#include "FreeRdpClient.h"
#include "SecretMask.h"

#include <QDebug>
#include <QDir>
#include <QFile>

namespace {

// The client reads the whole connection file; a password far down still counts.
constexpr qint64 passwordSearchLimit = 1024 * 1024;

bool fileHasPassword(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return connectionFileHasPassword(file.read(passwordSearchLimit));
}

} // namespace

QString FreeRdpLauncher::program()
{
#ifdef Q_OS_WIN
    return QDir::currentPath() + QStringLiteral("/wfreerdp.exe");
#else
    return QDir::currentPath() + QStringLiteral("/xfreerdp");
#endif
}

QStringList FreeRdpLauncher::clientArguments(
    const QStringList &translated, FreeRdpDialect dialect, QString *refusedField)
{
    if (refusedField)
        refusedField->clear();
#ifdef Q_OS_WIN
    Q_UNUSED(dialect)
    return translated;
#else
    if (translated.isEmpty())
        return translated;
    const QString &path = translated.first();
    if (dialect != FreeRdpDialect::FreeRdp3)
        return QStringList {path} + adaptForFreeRdp2(translated.mid(1));
    const FreeRdp3Adaptation adapted = adaptForFreeRdp3(translated.mid(1), fileHasPassword(path));
    if (!adapted.refusedField.isEmpty()) {
        if (refusedField)
            *refusedField = adapted.refusedField;
        return {};
    }
    return QStringList {path} + adapted.options;
#endif
}

FreeRdpClient *FreeRdpLauncher::start(const QStringList &translated, QObject *parent, FreeRdpDialect dialect)
{
    QString refused;
    const QStringList arguments = clientArguments(translated, dialect, &refused);
    if (!refused.isEmpty()) {
        qWarning().noquote() << QStringLiteral(
            "the %1 holds a character FreeRDP 3 cannot take in /gateway:; no client started")
                                    .arg(refused);
        return nullptr;
    }
    auto *process = new FreeRdpClient(parent);
    const QString client = program();
    qDebug() << client;

    QObject::connect(
        process, &QProcess::errorOccurred, process, [process, client](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                qWarning().noquote() << "FreeRDP client" << client
                                     << "failed to start:" << process->errorString();
        });
#ifdef Q_OS_WIN
    process->startClient(client, arguments);
#else
    // FreeRDP 3 takes no other argument beside this one.
    if (dialect == FreeRdpDialect::FreeRdp3)
        process->startClient(client, {QStringLiteral("/args-from:stdin")}, arguments);
    else
        process->startClient(client, arguments);
#endif
    qDebug() << maskedCommandLine(arguments);
    return process;
}
