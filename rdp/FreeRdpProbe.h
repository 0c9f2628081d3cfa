#pragma once

#include "FreeRdpDialect.h"

#include <QObject>

#include <functional>

class QProcess;
class QTimer;

// Finds out which FreeRDP a client program is, without blocking: first by the
// name of the file it resolves to, else by running it once with "--version".
// Until the answer is in (and when there is none) dialect() is Unknown.
class FreeRdpProbe : public QObject
{
    Q_OBJECT

public:
    // How long "--version" may take before the probe gives up.
    static constexpr int timeoutMilliseconds = 5000;

    explicit FreeRdpProbe(const QString &program, QObject *parent = nullptr);
    ~FreeRdpProbe() override;

    FreeRdpDialect dialect() const { return m_dialect; }
    bool isDone() const { return m_done; }

    // Runs action with the answer: at once when it is in, else when it comes
    // (timeoutMilliseconds after the start at the latest), unless context is
    // gone by then.
    void whenDone(QObject *context, std::function<void(FreeRdpDialect)> action);

signals:
    void done(FreeRdpDialect dialect);

private:
    void finish(FreeRdpDialect dialect, const QString &how);
    void stopProcess();

    QString m_program;
    QProcess *m_process = nullptr;
    QTimer *m_timer = nullptr;
    QByteArray m_output;
    FreeRdpDialect m_dialect = FreeRdpDialect::Unknown;
    bool m_done = false;
};
