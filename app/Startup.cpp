#include "Startup.h"

#include "ConfigStore.h"

#include <QLocale>

void applyLanguageDefault(const QLocale &systemLocale)
{
    if (systemLocale.language() == QLocale::Chinese)
        return;
    const QString key = QStringLiteral("language");
    if (settingToInt(readSetting(key, QStringLiteral("-1"))) == -1)
        writeSetting(key, QStringLiteral("1"));
}
