#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

// The process's only sink for diagnostics: one line per message, appended to
// <config directory>/yyyy-MM-dd.txt. Installed with qInstallMessageHandler().
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// The line as written, without its CR LF: "(yyyy-MM-dd hh:mm:ss ) Label: message".
QString formatLogLine(QtMsgType type, const QDateTime &stamp, const QString &message);

// The day's file the handler appends to.
QString logFilePath(const QDate &day);

// Tests replace the clock to reach a day boundary; an empty function restores
// the local system clock. The handler reads the clock twice per message.
void setLogClock(std::function<QDateTime()> clock);
