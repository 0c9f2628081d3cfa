#pragma once

#include <QString>
#include <QStringList>

// Passwords never reach the log. Masked are the values of "/p:" and "/gp:",
// the "p:" item of "/gateway:", and whatever follows "password" (any letter
// case) up to the end of the line.

// One argument of a client command line, masked.
QString maskArgument(const QString &argument);

// A command line as one log text: each argument masked, joined by blanks.
QString maskedCommandLine(const QStringList &arguments);

// One line of free text (a line the client printed), masked.
QString maskLine(const QString &line);

// The passwords a client command line carries: the values of "/p:" and "/gp:"
// and the "p:" item of "/gateway:", for the log to hide wherever they appear.
QStringList secretsOf(const QStringList &arguments);
