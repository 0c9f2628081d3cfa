#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// What the launcher's arguments ask for. Decided before the application object
// exists, so that --help and --version work without a display. Qt's own
// options (-platform, -style, -session from a session manager, ...) are
// passed over, with their values, and left for Qt to read.
struct CommandLine
{
    enum class Action { Run, PrintHelp, PrintVersion, UsageError };

    Action action = Action::Run;
    // For UsageError: one line naming the argument that was not understood.
    QString error;
    // Long names of the switches given that only change how the launcher runs.
    QSet<QString> switches;

    bool isSet(const QString &name) const { return switches.contains(name); }
};

// arguments as main() gets them, the program first.
CommandLine parseCommandLine(const QStringList &arguments);

// The usage text for --help and after a usage error, ending in a newline.
QString commandLineUsage();

// What --version prints, ending in a newline.
QString commandLineVersion();
