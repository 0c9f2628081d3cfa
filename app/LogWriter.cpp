#include "LogWriter.h"

#include "ConfigStore.h"
#include "PrivateFiles.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

QMutex &logMutex()
{
    static QMutex mutex;
    return mutex;
}

std::function<QDateTime()> &logClock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime now()
{
    const auto &clock = logClock();
    return clock ? clock() : QDateTime::currentDateTime();
}

QString labelFor(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("Debug:");
    case QtWarningMsg:
        return QStringLiteral("Warning:");
    case QtCriticalMsg:
        return QStringLiteral("Critical:");
    case QtFatalMsg:
        return QStringLiteral("Fatal:");
    case QtInfoMsg:
        break;
    }
    return QString();
}

// Set while this thread is inside the handler. Anything the file layer reports
// from in there would come straight back here; it is dropped instead.
thread_local bool insideHandler = false;

} // namespace

QString formatLogLine(QtMsgType type, const QDateTime &stamp, const QString &message)
{
    const QString time = stamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "));
    const QString prefix = QStringLiteral("(%1)").arg(time);
    // One placeholder at a time, the message last, so a "%1" in it stays as it is.
    return QStringLiteral("%1 %2 %3").arg(prefix).arg(labelFor(type)).arg(message);
}

QString logFilePath(const QDate &day)
{
    return configDirectory() + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".txt");
}

void setLogClock(std::function<QDateTime()> clock)
{
    QMutexLocker lock(&logMutex());
    logClock() = std::move(clock);
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (insideHandler)
        return;
    insideHandler = true;
    {
        QMutexLocker lock(&logMutex());
        const QString line = formatLogLine(type, now(), message);
        const QString path = logFilePath(now().date());
        QFile file(path);
#ifdef Q_OS_WIN
        const bool opened = file.open(QIODevice::WriteOnly | QIODevice::Append);
#else
        // The log holds the portal's replies: private, whatever the umask.
        // Its folder is narrowed too; it is never created here.
        narrowToOwner(configDirectory());
        const int fd = openOwnerOnlyForAppend(path);
        const bool opened = fd >= 0
            && file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle);
        if (fd >= 0 && !opened)
            ::close(fd);
#endif
        if (opened) {
            QTextStream stream(&file);
            // The locale's encoding (the ANSI code page on Windows), as the
            // log's readers expect; not left to the stream's default.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            stream.setEncoding(QStringConverter::System);
#else
            stream.setCodec(QTextCodec::codecForLocale());
#endif
            stream << line << "\r\n";
            stream.flush();
            file.close();
        }
    }
    insideHandler = false;
}
