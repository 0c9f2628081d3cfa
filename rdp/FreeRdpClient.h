#pragma once

#include "CleanProcess.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

// One running FreeRDP client. Its output (standard output and error merged) is
// read as it comes and only a short tail is kept, so a chatty client costs no
// memory. When the client ends by itself, one log line says how and, for a
// failure, what it wrote last; when its owner goes first, the client is ended
// and one line says so (one that had in fact ended already gets its own line).
class FreeRdpClient : public CleanProcess
{
    Q_OBJECT

public:
    // Bytes of output kept per client.
    static constexpr int tailCapacity = 4096;
    // Lines of that tail that go into the log line of a failure.
    static constexpr int tailLines = 5;

    explicit FreeRdpClient(QObject *parent = nullptr);
    ~FreeRdpClient() override;

    // Starts program with arguments. Its standard input gets the lines of
    // input, one per line, and is then closed: nobody will answer a prompt.
    void startClient(const QString &program, const QStringList &arguments, const QStringList &input = {});

    // The last bytes the client wrote, at most tailCapacity.
    QByteArray outputTail() const { return m_tail; }

    // Its last lines of output, masked, once it has ended by itself.
    QString lastWords() const { return m_lastWords; }

    // The log text for a client that ended by itself, from what it left behind.
    static QString exitReport(
        int exitCode, QProcess::ExitStatus status, qint64 runMilliseconds, const QByteArray &tail);

    // The last lines of tail, masked and joined by " | ".
    static QString lastWordsOf(const QByteArray &tail);

private:
    void readOutput();
    void reportExit(int exitCode, QProcess::ExitStatus status);

    QByteArray m_tail;
    QString m_lastWords;
    QElapsedTimer m_clock;
};
