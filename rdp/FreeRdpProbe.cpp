#include "FreeRdpProbe.h"

#include "CleanProcess.h"

#include <QDebug>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

// Enough for the version line among whatever a client logs on start-up.
constexpr int outputLimit = 16384;

QString dialectName(FreeRdpDialect dialect)
{
    switch (dialect) {
    case FreeRdpDialect::FreeRdp2:
        return QStringLiteral("FreeRDP 2");
    case FreeRdpDialect::FreeRdp3:
        return QStringLiteral("FreeRDP 3");
    case FreeRdpDialect::Unknown:
        break;
    }
    return QStringLiteral("unknown, taken as FreeRDP 2");
}

} // namespace

FreeRdpProbe::FreeRdpProbe(const QString &program, QObject *parent)
    : QObject(parent)
    , m_program(program)
{
#ifdef Q_OS_WIN
    // The Windows client takes the list as translated; nothing to find out.
    m_done = true;
    return;
#endif
    const QString target = QFileInfo(program).canonicalFilePath();
    if (target.isEmpty()) {
        // No client yet; the start will say so when it comes to that.
        m_done = true;
        return;
    }
    const FreeRdpDialect byName = dialectFromProgramName(QFileInfo(target).fileName());
    if (byName != FreeRdpDialect::Unknown) {
        finish(byName, QStringLiteral("by its name ") + target);
        return;
    }

    m_process = new CleanProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray chunk = m_process->readAllStandardOutput();
        if (m_output.size() < outputLimit)
            m_output.append(chunk.left(outputLimit - m_output.size()));
    });
    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this] {
        m_output.append(m_process->readAllStandardOutput().left(outputLimit));
        finish(dialectFromVersionOutput(m_output), QStringLiteral("by its version output"));
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(FreeRdpDialect::Unknown, QStringLiteral("(it does not start)"));
    });
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this,
        [this] { finish(dialectFromVersionOutput(m_output), QStringLiteral("(no version in time)")); });
    m_timer->start(timeoutMilliseconds);
    m_process->start(program, {QStringLiteral("--version")});
    m_process->closeWriteChannel();
}

FreeRdpProbe::~FreeRdpProbe()
{
    stopProcess();
}

void FreeRdpProbe::whenDone(QObject *context, std::function<void(FreeRdpDialect)> action)
{
    if (m_done) {
        action(m_dialect);
        return;
    }
    qDebug().noquote() << QStringLiteral("FreeRDP client %1: start waits for its version").arg(m_program);
    connect(this, &FreeRdpProbe::done, context, std::move(action));
}

void FreeRdpProbe::finish(FreeRdpDialect dialect, const QString &how)
{
    if (m_done)
        return;
    m_done = true;
    m_dialect = dialect;
    if (m_timer)
        m_timer->stop();
    qDebug().noquote()
        << QStringLiteral("FreeRDP client %1: %2 %3").arg(m_program, dialectName(dialect), how);
    stopProcess();
    // Gone once answered: the page's processes are its clients, nothing else.
    if (m_process) {
        m_process->deleteLater();
        m_process = nullptr;
    }
    emit done(dialect);
}

void FreeRdpProbe::stopProcess()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->blockSignals(true);
    m_process->kill();
    m_process->waitForFinished();
}
