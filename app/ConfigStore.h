#pragma once

#include "SettingKeys.h"

#include <QString>
#include <QStringList>

#include <optional>

// Settings in ClientConfig.ini. Every call opens the files afresh, so a value
// written by one call is what the next call reads; nothing is cached.
//
// Three levels, for fleets: the user's own file; a system-wide file of the
// same name that an administrator writes once, whose [General] keys are
// defaults and whose [Mandatory] keys win over the user's; then the default
// the caller names. Writes go to the user's file only; the system file is
// only read, and a missing or unreadable one changes nothing.

// Name of the settings file inside the configuration directory.
extern const QString configFileName;

// The per-user directory holding ClientConfig.ini and the daily logs. Not created here.
QString configDirectory();

// Full path of ClientConfig.ini.
QString configFilePath();

// Full path of the system-wide ClientConfig.ini, or "" when there is none.
// Linux: the first system configuration folder (XDG_CONFIG_DIRS, else
// /etc/xdg) that holds VelmoClient/ClientConfig.ini. Windows: the one under
// %ProgramData%.
QString systemConfigFilePath();

// What one key holds at each level; nullopt where that level lacks it.
struct SettingLevels
{
    std::optional<QString> user;
    std::optional<QString> systemDefault;
    std::optional<QString> mandatory;
};

// The value a reader sees: mandatory, else the user's (an empty value counts),
// else the system default, else defaultValue. A user-only key ignores the
// system file.
QString resolveSetting(const QString &key, const SettingLevels &levels, const QString &defaultValue);

// True for keys never read from the system file (see SettingKey::userOnly).
bool isUserOnlySetting(const QString &key);

// Keys of the table (SettingKeys.h). Every reader and writer of a key the
// launcher knows goes through these.

// The value of key through the three levels, else its default.
QString readSetting(const SettingKey &key);
// The same with another default, for a caller that must tell "absent".
QString readSetting(const SettingKey &key, const QString &defaultValue);
// A flag: stored as "1" and "0", and only "1" counts as set.
bool readFlag(const SettingKey &key);
// A number; text that is not one reads as 0.
int readNumber(const SettingKey &key);

// Stores value under key in the user's file; true when it is on disk. A
// write that cannot reach the disk logs one warning naming the file (never
// the value) and returns false.
bool writeSetting(const SettingKey &key, const QString &value);
bool writeFlag(const SettingKey &key, bool set);

// True when the administrator fixed key: the window shows it and lets no one change it.
bool isSettingMandatory(const SettingKey &key);

// The same by the key's text, for stores built on this one whose keys are
// not in the table (the certificate store's host-and-port entries).
QString readSetting(const QString &key, const QString &defaultValue);
bool writeSetting(const QString &key, const QString &value);
bool isSettingMandatory(const QString &key);

// Makes key mandatory with value for the rest of this run, above the
// system file, as a command-line switch does; nothing is written.
void setMandatoryForThisRun(const SettingKey &key, const QString &value);

// The value of key in the user's own file alone, for what the system file
// must not answer (what this account remembered).
QString readUserSetting(const QString &key, const QString &defaultValue);

// A key of any group of the system file ("General" for the defaults), for
// entries an administrator pins there; nullopt when absent or unreadable.
std::optional<QString> readSystemSetting(const QString &group, const QString &key);

// The keys of one group of the system file, or of the user's file; empty
// when it has none.
QStringList systemSettingKeys(const QString &group);
QStringList userSettingKeys(const QString &group);

// Publish_Date of Version.ini in the current working directory, or "".
QString readPublishDate();

// Flags are stored as "1" and "0"; only "1" counts as set.
inline bool isFlagSet(const QString &value)
{
    return value == QLatin1String("1");
}

// Integer form of a stored number; text that is not a number gives 0.
int settingToInt(const QString &value);
