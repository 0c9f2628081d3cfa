#pragma once

#include <QProcess>

// A process that starts with standard input, output and error only. The
// launcher runs inside the web engine's browser process, and much of what that
// holds open is not close-on-exec: its IPC sockets, shared memory, profile
// locks. A client that inherited them would keep the engine's helpers alive
// after the launcher is gone and hand another program the browser's channels.
class CleanProcess : public QProcess
{
    Q_OBJECT

public:
    explicit CleanProcess(QObject *parent = nullptr);

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
    void setupChildProcess() override;
#endif
};

#ifndef Q_OS_WIN
// Marks every descriptor from 3 up close-on-exec. Runs in the child between
// fork and exec, so it uses async-signal-safe calls only. Marking rather than
// closing keeps QProcess's own start-up pipe open until the exec.
void markInheritedDescriptorsCloseOnExec();
#endif
