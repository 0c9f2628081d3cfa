#pragma once

#include <QString>

// How one desktop's client ended, as the page tells the window.
struct ClientEnd
{
    // Which desktop of the page: the same for a client started again on it.
    int desktop = 0;
    // False when the client program could not be started at all.
    bool started = true;
    // Ended by a signal, whose number is in exitCode.
    bool crashed = false;
    int exitCode = 0;
    // Its last lines of output, masked, as the log has them.
    QString lastWords;
};

enum class ClientEndReason {
    ChosenByUser,
    NoClient,
    Unreachable,
    LogonRefused,
    AccountBlocked,
    TakenOver,
    IdleEnd,
    ConnectionBroke,
    Other,
};

// Why the client ended, from the exit statuses the X11 client documents
// (XF_EXIT_* in FreeRDP's client/X11/xfreerdp.h, the same in 2.11 and 3.x).
ClientEndReason clientEndReason(const ClientEnd &end);

// Whether a new client on the same file may mend it.
bool offersReconnect(ClientEndReason reason);

// The last line of the last words without FreeRDP's time, thread and module
// prefix: what a box can show on one line.
QString lastLineOf(const QString &lastWords);
