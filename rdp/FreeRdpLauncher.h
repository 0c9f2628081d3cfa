#pragma once

#include "FreeRdpDialect.h"

#include <QStringList>

class QObject;
class FreeRdpClient;

// Starting the FreeRDP client on a connection file.
class FreeRdpLauncher
{
public:
    // The client, looked for in the current working directory only.
    static QString program();

    // The list the client gets for a translated list (file path first). On
    // platforms other than Windows the options are adapted to the client's
    // dialect (Unknown: FreeRDP 2). Empty, with *refusedField set, when an option
    // holds a value the dialect cannot carry.
    static QStringList clientArguments(
        const QStringList &translated, FreeRdpDialect dialect, QString *refusedField = nullptr);

    // Starts the client as a child process of parent, which ends it when it goes.
    // FreeRDP 3 gets the whole list on its standard input (/args-from:stdin), so
    // no secret stands on a command line another account can read; FreeRDP 2
    // cannot read it from there and gets it as arguments.
    // Returns null, after one warning naming the field, when the options cannot
    // be given to this client; a failed start is logged as a warning.
    static FreeRdpClient *start(
        const QStringList &translated, QObject *parent, FreeRdpDialect dialect = FreeRdpDialect::Unknown);
};
