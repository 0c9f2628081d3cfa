#include "CertificateStore.h"

#include "ConfigStore.h"

#include <QDebug>

namespace {

const QString certificatesGroup = QStringLiteral("Certificates");

// The entry of keys whose key is hostPort in its one form, in whatever form
// it was written.
QString findKey(const QStringList &keys, const QString &hostPort)
{
    const QString wanted = normalizedHostPort(hostPort);
    if (wanted.isEmpty() || keys.contains(wanted))
        return wanted;
    for (const QString &key : keys) {
        if (normalizedHostPort(key) == wanted)
            return key;
    }
    return QString();
}

} // namespace

QString normalizedHostPort(const QString &text)
{
    QString host = text.trimmed();
    QString port = QStringLiteral("443");
    if (host.startsWith(QLatin1Char('['))) {
        const int close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QString();
        const QString rest = host.mid(close + 1);
        host = host.left(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return QString();
            port = rest.mid(1);
        }
    } else if (host.contains(QLatin1Char(':'))) {
        port = host.section(QLatin1Char(':'), 1);
        host = host.section(QLatin1Char(':'), 0, 0);
    }
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    bool isNumber = false;
    const int number = port.toInt(&isNumber, 10);
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || !isNumber || number < 1 || number > 65535)
        return QString();
    return host.toLower() + QLatin1Char(':') + QString::number(number);
}

QStringList pinnedHostPorts()
{
    QStringList pins;
    for (const QString &key : systemSettingKeys(certificatesGroup)) {
        const QString hostPort = normalizedHostPort(key);
        if (!hostPort.isEmpty())
            pins << hostPort;
    }
    return pins;
}

void logCertificateSettings()
{
    for (const QString &warning : pinWarnings())
        qWarning().noquote() << warning;
    if (pinnedHostPorts().isEmpty() && certificateCheckMode() != CertificateCheckMode::Strict)
        return;
    qInfo().noquote() << "Certificate pins and strict checking cover the identity check and every "
                         "certificate the web engine does not trust; for the portal's pages the web "
                         "engine accepts a certificate that the system's or the user's certificate "
                         "store trusts";
}

QStringList pinWarnings()
{
    QStringList warnings;
    for (const QString &key : systemSettingKeys(certificatesGroup)) {
        if (normalizedHostPort(key).isEmpty()) {
            warnings << QStringLiteral("Certificate pin \"%1\" names no host and port: not used").arg(key);
            continue;
        }
        const QString fingerprint
            = normalizedFingerprint(readSystemSetting(certificatesGroup, key).value_or(QString()));
        if (fingerprint.size() != 32 * 3 - 1)
            warnings << QStringLiteral("Certificate pin for %1 is no SHA-256 fingerprint: nothing matches it")
                            .arg(normalizedHostPort(key));
    }
    return warnings;
}

CertificateCheckMode certificateCheckMode()
{
    return certificateCheckModeFrom(readSetting(Setting::certificateCheck));
}

QString rememberedFingerprint(const QString &hostPort)
{
    // The user's own: a pinned entry of the system file is not a memory.
    const QString key = findKey(userSettingKeys(certificatesGroup), hostPort);
    return key.isEmpty() ? QString() : readUserSetting(certificatesGroup + QLatin1Char('/') + key, QString());
}

QString pinnedFingerprint(const QString &hostPort)
{
    const QString key = findKey(systemSettingKeys(certificatesGroup), hostPort);
    return key.isEmpty() ? QString() : readSystemSetting(certificatesGroup, key).value_or(QString());
}

bool rememberFingerprint(const QString &hostPort, const QString &fingerprint)
{
    // Always under the one form, which reading prefers to any other.
    return writeSetting(certificatesGroup + QLatin1Char('/') + normalizedHostPort(hostPort), fingerprint);
}
