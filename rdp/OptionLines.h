#pragma once

#include <QByteArray>
#include <QString>

// FreeRDP reads the connection file itself and takes every line that begins
// with "/" as one of its command-line options: a file could share every local
// drive or every USB device that way. Files written for the Windows client
// never hold such lines, and the translation never reads them.

// content without those lines, each taken with its line end (CR LF, CR or LF).
// Lines are split at every CR and every LF, as FreeRDP does; a file that starts
// with the UTF-16LE byte order mark FF FE is read in 16-bit units, as FreeRDP
// reads it; without the mark FreeRDP reads 8-bit text, which ends for it at
// the first NUL byte, so 16-bit text without the mark carries no option. Every
// other byte stays as it was. *removed gets the number of lines taken out.
QByteArray withoutOptionLines(const QByteArray &content, int *removed);

// Takes those lines out of the file at path, rewriting it in place only when
// it holds any, and logs how many went. False when they are there and the file
// could not be rewritten: the client must not start on it then.
bool removeOptionLines(const QString &path);
