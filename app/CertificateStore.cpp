#include "CertificateStore.h"

#include "ConfigStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString modeKey = QStringLiteral("certificateCheck");

QString certificateKey(const QString &hostPort)
{
    return QStringLiteral("Certificates/") + hostPort;
}

QString systemSetting(const QString &key)
{
    const QString path = systemConfigFilePath();
    if (path.isEmpty())
        return QString();
    return QSettings(path, QSettings::IniFormat).value(key).toString();
}

} // namespace

QString systemConfigFilePath()
{
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    for (const QString &dir : dirs) {
        if (dir == own)
            continue;
        const QString path = dir + QStringLiteral("/VelmoClient/") + configFileName;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

CertificateCheckMode certificateCheckMode()
{
    QString mode = systemSetting(QStringLiteral("Mandatory/") + modeKey);
    if (mode.isEmpty())
        mode = readSetting(modeKey, QString());
    if (mode.isEmpty())
        mode = systemSetting(modeKey);
    return certificateCheckModeFrom(mode);
}

QString rememberedFingerprint(const QString &hostPort)
{
    return readSetting(certificateKey(hostPort), QString());
}

QString pinnedFingerprint(const QString &hostPort)
{
    return systemSetting(certificateKey(hostPort));
}

void rememberFingerprint(const QString &hostPort, const QString &fingerprint)
{
    writeSetting(certificateKey(hostPort), fingerprint);
}
