#include "LogWriter.h"

#include "ConfigStore.h"
#include "PrivateFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#include <cstdio>

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

// Whether the day's file named here has had its last line. Looked up on disk
// once per day and process, so a restart does not write past the limit.
struct DayCap
{
    QString path;
    bool stopped = false;
};

DayCap &dayCap()
{
    static DayCap cap;
    return cap;
}

// Set once at start-up, before any line can be echoed.
bool echoToTerminal = false;

QByteArray encodedLine(const QString &line)
{
    QByteArray bytes;
    QTextStream stream(&bytes, QIODevice::WriteOnly);
    // The locale's encoding (the ANSI code page on Windows), as the log's
    // readers expect; not left to the stream's default.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    stream.setEncoding(QStringConverter::System);
#else
    stream.setCodec(QTextCodec::codecForLocale());
#endif
    stream << line << "\r\n";
    stream.flush();
    return bytes;
}

bool endsWithStopLine(const QString &path)
{
    QFile file(path);
    const QByteArray tail = logStoppedText().toLatin1() + "\r\n";
    if (!file.open(QIODevice::ReadOnly) || file.size() < tail.size() || !file.seek(file.size() - tail.size()))
        return false;
    return file.read(tail.size()) == tail;
}

void echo(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QStringList &maskedValues()
{
    static QStringList values;
    return values;
}

QString maskValues(QString text)
{
    for (const QString &value : std::as_const(maskedValues()))
        text.replace(value, QLatin1String("***"));
    return text;
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

void maskInLog(const QStringList &values)
{
    QMutexLocker lock(&logMutex());
    QStringList &known = maskedValues();
    for (const QString &value : values) {
        if (value.size() >= minimumMaskedLength && !known.contains(value))
            known.append(value);
    }
    // A value inside a longer one must not leave the rest of that one behind.
    std::stable_sort(
        known.begin(), known.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString maskKnownValues(const QString &text)
{
    QMutexLocker lock(&logMutex());
    return maskValues(text);
}

void forgetMaskedValues()
{
    QMutexLocker lock(&logMutex());
    maskedValues().clear();
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

QString logStoppedText()
{
    return QStringLiteral("This day's log file reached 10 MiB: nothing more is written to it today.");
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (insideHandler)
        return;
    insideHandler = true;
    {
        QMutexLocker lock(&logMutex());
        const QDateTime stamp = now();
        const QString line = formatLogLine(type, stamp, maskValues(message));
        const QString path = logFilePath(now().date());
        if (echoToTerminal)
            echo(line);
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
        DayCap &cap = dayCap();
        if (opened && cap.path != path) {
            cap.path = path;
            cap.stopped = endsWithStopLine(path);
        }
        if (opened && !cap.stopped) {
            QByteArray bytes = encodedLine(line);
            // Room is kept for the last line, so the file never passes the limit.
            const QString stopLine = formatLogLine(QtWarningMsg, stamp, logStoppedText());
            const QByteArray stopBytes = encodedLine(stopLine);
            if (file.size() + bytes.size() + stopBytes.size() > logFileLimit) {
                bytes = stopBytes;
                cap.stopped = true;
                if (echoToTerminal)
                    echo(stopLine);
            }
            file.write(bytes);
        }
        if (opened)
            file.close();
    }
    insideHandler = false;
}

int removeExpiredLogs(const QDate &today, int keepDays)
{
    if (keepDays <= 0)
        return 0;
    const QDate oldestKept = today.addDays(-keepDays);
    static const QRegularExpression dayName(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d)\\.txt$"));
    int removed = 0;
    const QFileInfoList entries = QDir(configDirectory()).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = dayName.match(entry.fileName());
        if (!match.hasMatch())
            continue;
        const QDate day = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
        if (day.isValid() && day < oldestKept && QFile::remove(entry.filePath()))
            ++removed;
    }
    return removed;
}

void installLogWriter()
{
#ifdef Q_OS_WIN
    // A GUI-subsystem program has no console to echo to.
    const bool terminal = false;
#else
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
#endif
    if (terminal) {
        // Someone started it by hand: tell them where to look, and show the
        // lines even while the folder that keeps them does not exist yet.
        const QString path = logFilePath(now().date());
        QString header = QStringLiteral("Log file: ") + path;
        if (!QFileInfo(configDirectory()).isDir())
            header += QStringLiteral(" (not written yet: its folder is made when a setting is first saved)");
        echo(header);
        echoToTerminal = true;
    }
    qInstallMessageHandler(logMessageHandler);

    const int keepDays = readNumber(Setting::logDays);
    const int removed = removeExpiredLogs(QDate::currentDate(), keepDays);
    if (removed > 0)
        qInfo().noquote()
            << QStringLiteral("Removed %1 log files older than %2 days").arg(removed).arg(keepDays);
}
