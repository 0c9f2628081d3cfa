#include "FreeRdpClient.h"

#include "SecretMask.h"

#include <QDebug>
#include <QRegularExpression>

namespace {

// Printable text of one output line: control characters (colour escapes,
// carriage returns) would garble the log.
QString cleanLine(const QByteArray &bytes)
{
    static const QRegularExpression terminalEscape(QStringLiteral("\x1b\\[[0-9;?]*[@-~]"));
    QString line = QString::fromUtf8(bytes);
    line.remove(terminalEscape);
    for (QChar &c : line) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return line.trimmed();
}

} // namespace

FreeRdpClient::FreeRdpClient(QObject *parent)
    : CleanProcess(parent)
{
    setProcessChannelMode(QProcess::MergedChannels);
    connect(this, &QProcess::readyReadStandardOutput, this, &FreeRdpClient::readOutput);
    connect(
        this, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &FreeRdpClient::reportExit);
}

FreeRdpClient::~FreeRdpClient()
{
    if (state() == QProcess::NotRunning)
        return;
    // A client that has just ended on its own, before Qt got round to saying
    // so, is reported as such: its exit code and last words are the reason.
    if (waitForFinished(0))
        return;
    // The owner goes (portal left, window closed): the client goes with it.
    blockSignals(true);
    qDebug().noquote() << QStringLiteral("FreeRDP client ended by the launcher after %1 s")
                              .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1);
    // Asked first, so that the client can take down what it set up (FreeRDP 3
    // leaves its clipboard's FUSE mount behind when it is killed); one that
    // does not answer is killed after a second.
    terminate();
    if (!waitForFinished(1000)) {
        kill();
        waitForFinished();
    }
}

void FreeRdpClient::startClient(
    const QString &program, const QStringList &arguments, const QStringList &input)
{
    m_clock.start();
    start(program, arguments, QIODevice::ReadWrite);
    // Written once the process runs; the channel closes after the last byte.
    for (const QString &line : input)
        write(line.toLocal8Bit() + '\n');
    closeWriteChannel();
}

void FreeRdpClient::readOutput()
{
    const QByteArray chunk = readAllStandardOutput();
    if (chunk.size() >= tailCapacity) {
        m_tail = chunk.right(tailCapacity);
        return;
    }
    const int keep = tailCapacity - chunk.size();
    if (m_tail.size() > keep)
        m_tail.remove(0, m_tail.size() - keep);
    m_tail.append(chunk);
}

QString FreeRdpClient::exitReport(
    int exitCode, QProcess::ExitStatus status, qint64 runMilliseconds, const QByteArray &tail)
{
    const QString ran = QString::number(double(runMilliseconds) / 1000.0, 'f', 1);
    QString report = status == QProcess::CrashExit
        ? QStringLiteral("FreeRDP client ended by signal %1 after %2 s").arg(exitCode).arg(ran)
        : QStringLiteral("FreeRDP client ended with exit code %1 after %2 s").arg(exitCode).arg(ran);
    if (status == QProcess::NormalExit && exitCode == 0)
        return report;
    const QString last = lastWordsOf(tail);
    if (!last.isEmpty())
        report += QStringLiteral(": ") + last;
    return report;
}

QString FreeRdpClient::lastWordsOf(const QByteArray &tail)
{
    QList<QByteArray> lines = tail.split('\n');
    // A full tail most likely starts inside a line.
    if (tail.size() >= tailCapacity && lines.size() > 1)
        lines.removeFirst();
    QStringList last;
    for (int i = lines.size() - 1; i >= 0 && last.size() < tailLines; --i) {
        const QString line = cleanLine(lines.at(i));
        if (!line.isEmpty())
            last.prepend(maskLine(line));
    }
    return last.join(QStringLiteral(" | "));
}

void FreeRdpClient::reportExit(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    const QString report = exitReport(exitCode, status, m_clock.elapsed(), m_tail);
    m_lastWords = lastWordsOf(m_tail);
    m_tail.clear();
    if (status == QProcess::NormalExit && exitCode == 0)
        qDebug().noquote() << report;
    else
        qWarning().noquote() << report;
}
