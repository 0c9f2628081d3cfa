#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// The process's only sink for diagnostics: one line per message, appended to
// <config directory>/yyyy-MM-dd.txt. Installed with qInstallMessageHandler().
// A day's file stops short of logFileLimit with one last line saying so.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// A day's file never grows past this; the next day starts afresh.
constexpr qint64 logFileLimit = 10 * 1024 * 1024;

// The last line of a day's file that reached logFileLimit.
QString logStoppedText();

// Start-up: installs logMessageHandler and, when standard error is a
// terminal, echoes every line there after one naming the day's file; then
// removes the daily files older than logDays.
void installLogWriter();

// Removes the daily files (named yyyy-MM-dd.txt) of the log folder dated more
// than keepDays days before today; 0 or less keeps them all. Nothing else in
// the folder is touched. Returns how many were removed.
int removeExpiredLogs(const QDate &today, int keepDays);

// Values no log line may show, whatever key or text surrounds them: the
// user's password as typed and as sent, a gateway password. Each becomes
// "***" in every line from now on, for the rest of the process. Values
// shorter than minimumMaskedLength are not taken, as they would cut pieces
// out of ordinary words; where a key names them, the key-based masking of
// the command lines and console messages still hides them.
constexpr int minimumMaskedLength = 4;
void maskInLog(const QStringList &values);

// text with every value given to maskInLog replaced, the longest first.
QString maskKnownValues(const QString &text);

// Forgets every value given to maskInLog; for tests.
void forgetMaskedValues();

// The line as written, without its CR LF: "(yyyy-MM-dd hh:mm:ss ) Label: message".
QString formatLogLine(QtMsgType type, const QDateTime &stamp, const QString &message);

// The day's file the handler appends to.
QString logFilePath(const QDate &day);

// Tests replace the clock to reach a day boundary; an empty function restores
// the local system clock. The handler reads the clock twice per message.
void setLogClock(std::function<QDateTime()> clock);
