#include "ProcessProbe.h"

#include <cstdio>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

long statusField(pid_t pid, const QByteArray &name)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(QByteArray(name + ':')))
            return line.mid(name.size() + 1).simplified().split(' ').value(0).toLong();
    }
    return -1;
}

struct ProcessEntry
{
    pid_t parent = 0;
    QByteArray command;
};

QHash<pid_t, ProcessEntry> processTable()
{
    QHash<pid_t, ProcessEntry> table;
    const QStringList names = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        bool isPid = false;
        const pid_t pid = name.toInt(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const int open = text.indexOf('(');
        const int close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = text.mid(close + 2).split(' ');
        table.insert(pid, {pid_t(rest.value(1).toInt()), text.mid(open + 1, close - open - 1)});
    }
    return table;
}

} // namespace

namespace ProcessProbe {

long peakResidentKiB(pid_t pid)
{
    return statusField(pid, "VmHWM");
}

long residentKiB(pid_t pid)
{
    return statusField(pid, "VmRSS");
}

int webEngineHelpers(pid_t pid, long *residentSumKiB)
{
    const QHash<pid_t, ProcessEntry> table = processTable();
    int count = 0;
    long sum = 0;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (!it->command.startsWith("QtWebEngineProc"))
            continue;
        for (pid_t up = it->parent; up > 1; up = table.value(up).parent) {
            if (up == pid) {
                ++count;
                sum += qMax(0L, residentKiB(it.key()));
                break;
            }
        }
    }
    if (residentSumKiB)
        *residentSumKiB = sum;
    return count;
}

void printPortalFigures(long long ms)
{
    long helpersKiB = 0;
    const int helpers = webEngineHelpers(getpid(), &helpersKiB);
    std::printf("ms=%lld peak_kib=%ld helpers=%d helpers_kib=%ld\n", ms, peakResidentKiB(getpid()), helpers,
        helpersKiB);
}

} // namespace ProcessProbe
