#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

// A working directory holding the fake FreeRDP client under the name the
// launcher looks for, and the records of its calls.
class FakeClient
{
public:
    FakeClient()
    {
        m_records = m_dir.path() + QStringLiteral("/records");
        QDir().mkpath(m_records);
        qputenv("FAKE_FREERDP_RECORD_DIR", QFile::encodeName(m_records));
    }

    bool install(const QString &clientName)
    {
        return QFile::link(QStringLiteral(FAKE_FREERDP_PATH), workDir() + QLatin1Char('/') + clientName);
    }

    QString workDir() const { return m_dir.path(); }

    // Each call's argument list, in no particular order.
    QList<QStringList> calls() const
    {
        QList<QStringList> result;
        const QStringList files = QDir(m_records).entryList({QStringLiteral("call-*.txt")}, QDir::Files);
        for (const QString &name : files) {
            QFile file(m_records + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QStringList arguments = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            arguments.removeLast(); // after the final line end
            result << arguments;
        }
        return result;
    }

    // What a call beside the records of calls() holds: "argv", the command
    // line of a call that read its arguments from its standard input, or
    // "content", the connection file as the call read it; one text each.
    QList<QByteArray> records(const QString &kind) const
    {
        QList<QByteArray> result;
        const QStringList files = QDir(m_records).entryList({QStringLiteral("call-*.") + kind}, QDir::Files);
        for (const QString &name : files) {
            QFile file(m_records + QLatin1Char('/') + name);
            if (file.open(QIODevice::ReadOnly))
                result << file.readAll();
        }
        return result;
    }

    // The descriptors each process found open at its start ("0 1 2"), one
    // text per process; kind is "call" for clients, "version" for version questions.
    QStringList descriptors(const QString &kind) const
    {
        QStringList result;
        const QStringList files = QDir(m_records).entryList({kind + QStringLiteral("-*.fds")}, QDir::Files);
        for (const QString &name : files) {
            QFile file(m_records + QLatin1Char('/') + name);
            if (file.open(QIODevice::ReadOnly))
                result << QString::fromLatin1(file.readAll());
        }
        return result;
    }

    // Forgets the recorded calls (of clients that have ended).
    void clearCalls() const
    {
        QDir records(m_records);
        for (const QString &name :
            records.entryList({QStringLiteral("call-*"), QStringLiteral("*.fds")}, QDir::Files))
            records.remove(name);
    }

    // Calls that were asked to end and tidied up before they went.
    int tidiedUp() const
    {
        return QDir(m_records).entryList({QStringLiteral("call-*.txt.terminated")}, QDir::Files).size();
    }

    // Process ids of the calls that are still running.
    int running() const
    {
        int alive = 0;
        const QStringList files = QDir(m_records).entryList({QStringLiteral("call-*.txt")}, QDir::Files);
        for (const QString &name : files) {
            const pid_t pid = name.mid(5, name.size() - 9).toInt();
            if (pid > 0 && !hasEnded(pid))
                ++alive;
        }
        return alive;
    }

    // True once the process has exited, reaped or not.
    static bool hasEnded(pid_t pid) { return ::kill(pid, 0) != 0 || isZombie(pid); }

private:
    static bool isZombie(pid_t pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray text = stat.readAll();
        const int close = text.lastIndexOf(')');
        return close < 0 || text.mid(close + 2, 1) == "Z";
    }

    QTemporaryDir m_dir;
    QString m_records;
};
