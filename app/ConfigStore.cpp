#include "ConfigStore.h"

#include "PrivateFiles.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString mandatoryGroup = QStringLiteral("Mandatory");
const QString defaultsGroup = QStringLiteral("General");

// Keys the command line made mandatory for this run.
QHash<QString, QString> &runMandatory()
{
    static QHash<QString, QString> values;
    return values;
}

// INI files in UTF-8 on both Qt versions. Qt 6 knows no other; Qt 5 would
// otherwise write \x escapes and read a file from a Qt 6 build, or one
// edited by hand, as Latin-1. Escapes from earlier files still read.
class IniFile : public QSettings
{
public:
    explicit IniFile(const QString &path)
        : QSettings(path, QSettings::IniFormat)
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        setIniCodec("UTF-8");
#endif
    }
};

std::optional<QString> valueOf(const QSettings &settings, const QString &key)
{
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key).toString();
}

// The INI format keeps top-level keys in [General]; any other group is a prefix.
QString keyInGroup(const QString &group, const QString &key)
{
    return group == defaultsGroup ? key : group + QLatin1Char('/') + key;
}

} // namespace

const QString configFileName = QStringLiteral("ClientConfig.ini");

QString configDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString configFilePath()
{
    return configDirectory() + QLatin1Char('/') + configFileName;
}

QString systemConfigFilePath()
{
    // The user's folder name below the configuration root, so the system
    // file sits where the user's would in a system folder.
    const QString userRoot = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString relative
        = QDir(userRoot).relativeFilePath(configDirectory()) + QLatin1Char('/') + configFileName;
#ifdef Q_OS_WIN
    const QString programData = qEnvironmentVariable("ProgramData");
    if (programData.isEmpty())
        return QString();
    const QString path = QDir::fromNativeSeparators(programData) + QLatin1Char('/') + relative;
    return QFileInfo::exists(path) ? path : QString();
#else
    for (const QString &root : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        if (root == userRoot)
            continue;
        const QString path = root + QLatin1Char('/') + relative;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
#endif
}

bool isUserOnlySetting(const QString &key)
{
    for (const SettingKey *known : Setting::all) {
        if (known->userOnly && key == QLatin1String(known->name))
            return true;
    }
    return false;
}

QString resolveSetting(const QString &key, const SettingLevels &levels, const QString &defaultValue)
{
    if (isUserOnlySetting(key))
        return levels.user.value_or(defaultValue);
    if (levels.mandatory)
        return *levels.mandatory;
    if (levels.user)
        return *levels.user;
    return levels.systemDefault.value_or(defaultValue);
}

std::optional<QString> readSystemSetting(const QString &group, const QString &key)
{
    const QString path = systemConfigFilePath();
    if (path.isEmpty())
        return std::nullopt;
    const IniFile settings(path);
    return valueOf(settings, keyInGroup(group, key));
}

QStringList systemSettingKeys(const QString &group)
{
    const QString path = systemConfigFilePath();
    if (path.isEmpty())
        return {};
    IniFile settings(path);
    if (group != defaultsGroup)
        settings.beginGroup(group);
    return settings.childKeys();
}

QStringList userSettingKeys(const QString &group)
{
    IniFile settings(configFilePath());
    if (group != defaultsGroup)
        settings.beginGroup(group);
    return settings.childKeys();
}

QString readSetting(const QString &key, const QString &defaultValue)
{
    SettingLevels levels;
    levels.user = valueOf(IniFile(configFilePath()), key);
    if (!isUserOnlySetting(key)) {
        const QString path = systemConfigFilePath();
        if (!path.isEmpty()) {
            const IniFile system(path);
            levels.systemDefault = valueOf(system, key);
            levels.mandatory = valueOf(system, keyInGroup(mandatoryGroup, key));
        }
        const auto forced = runMandatory().constFind(key);
        if (forced != runMandatory().constEnd())
            levels.mandatory = *forced;
    }
    return resolveSetting(key, levels, defaultValue);
}

QString readUserSetting(const QString &key, const QString &defaultValue)
{
    return valueOf(IniFile(configFilePath()), key).value_or(defaultValue);
}

bool isSettingMandatory(const QString &key)
{
    return !isUserOnlySetting(key)
        && (runMandatory().contains(key) || readSystemSetting(mandatoryGroup, key).has_value());
}

void setMandatoryForThisRun(const SettingKey &key, const QString &value)
{
    runMandatory().insert(key.key(), value);
}

bool writeSetting(const QString &key, const QString &value)
{
    const QString path = configFilePath();
    // The file may hold the remembered password: it comes into being private,
    // and an older, wider one is narrowed.
    makeOwnerOnlyDirectory(configDirectory());
    makeOwnerOnlyFile(path);
    QSettings::Status status = QSettings::NoError;
    {
        IniFile settings(path);
        settings.setValue(key, QVariant(value));
        settings.sync();
        status = settings.status();
    }
    const bool isPrivate = narrowToOwner(path);
    if (status != QSettings::NoError) {
        qWarning().noquote() << "Settings not saved to" << QDir::toNativeSeparators(path);
        return false;
    }
    if (!isPrivate)
        qWarning().noquote() << "Settings file not made private:" << QDir::toNativeSeparators(path);
    return true;
}

QString readSetting(const SettingKey &key)
{
    return readSetting(key.key(), key.defaultValue());
}

QString readSetting(const SettingKey &key, const QString &defaultValue)
{
    return readSetting(key.key(), defaultValue);
}

bool readFlag(const SettingKey &key)
{
    return readSetting(key) == QLatin1String("1");
}

int readNumber(const SettingKey &key)
{
    return settingToInt(readSetting(key));
}

bool writeSetting(const SettingKey &key, const QString &value)
{
    return writeSetting(key.key(), value);
}

bool writeFlag(const SettingKey &key, bool set)
{
    return writeSetting(key.key(), set ? QStringLiteral("1") : QStringLiteral("0"));
}

bool isSettingMandatory(const SettingKey &key)
{
    return isSettingMandatory(key.key());
}

QString readPublishDate()
{
    const QSettings settings(QStringLiteral("Version.ini"), QSettings::IniFormat);
    return settings.value(QStringLiteral("Publish_Date"), QVariant(QString())).toString();
}

int settingToInt(const QString &value)
{
    return value.toInt(nullptr, 10);
}
