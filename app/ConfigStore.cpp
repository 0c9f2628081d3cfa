#include "ConfigStore.h"

#include "PrivateFiles.h"

#include <QSettings>
#include <QStandardPaths>

const QString configFileName = QStringLiteral("ClientConfig.ini");

QString configDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString configFilePath()
{
    return configDirectory() + QLatin1Char('/') + configFileName;
}

QString readSetting(const QString &key, const QString &defaultValue)
{
    const QSettings settings(configFilePath(), QSettings::IniFormat);
    return settings.value(key, QVariant(defaultValue)).toString();
}

void writeSetting(const QString &key, const QString &value)
{
    // The file may hold the remembered password: it comes into being private,
    // and an older, wider one is narrowed.
    makeOwnerOnlyDirectory(configDirectory());
    makeOwnerOnlyFile(configFilePath());
    {
        QSettings settings(configFilePath(), QSettings::IniFormat);
        settings.setValue(key, QVariant(value));
        settings.sync();
    }
    narrowToOwner(configFilePath());
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
