#include "CertificateStore.h"

#include "ConfigStore.h"

namespace {

const QString certificatesGroup = QStringLiteral("Certificates");

QString certificateKey(const QString &hostPort)
{
    return certificatesGroup + QLatin1Char('/') + hostPort;
}

} // namespace

CertificateCheckMode certificateCheckMode()
{
    return certificateCheckModeFrom(readSetting(Setting::certificateCheck));
}

QString rememberedFingerprint(const QString &hostPort)
{
    // The user's own: a pinned entry of the system file is not a memory.
    return readUserSetting(certificateKey(hostPort), QString());
}

QString pinnedFingerprint(const QString &hostPort)
{
    return readSystemSetting(certificatesGroup, hostPort).value_or(QString());
}

bool rememberFingerprint(const QString &hostPort, const QString &fingerprint)
{
    return writeSetting(certificateKey(hostPort), fingerprint);
}
