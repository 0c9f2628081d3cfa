#pragma once

#include <QString>

// Per-user settings in ClientConfig.ini. Every call opens the file afresh, so a
// value written by one call is what the next call reads; nothing is cached.

// Name of the settings file inside the configuration directory.
extern const QString configFileName;

// The per-user directory holding ClientConfig.ini and the daily logs. Not created here.
QString configDirectory();

// Full path of ClientConfig.ini.
QString configFilePath();

// The stored text for key, or defaultValue when the key or the file is missing.
QString readSetting(const QString &key, const QString &defaultValue);

// Stores value under key; the file is on disk when the call returns.
// A write that cannot reach the disk is lost silently.
void writeSetting(const QString &key, const QString &value);

// Publish_Date of Version.ini in the current working directory, or "".
QString readPublishDate();

// Flags are stored as "1" and "0"; only "1" counts as set.
inline bool isFlagSet(const QString &value)
{
    return value == QLatin1String("1");
}

// Integer form of a stored number; text that is not a number gives 0.
int settingToInt(const QString &value);
