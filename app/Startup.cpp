#include "Startup.h"

#include "ConfigStore.h"

#include <QLocale>

void applyLanguageDefault(const QLocale &systemLocale)
{
    if (systemLocale.language() == QLocale::Chinese)
        return;
    // "Absent" means absent at every level: a language an administrator set
    // for all accounts is a choice already made.
    const QString key = Setting::language.key();
    if (settingToInt(readSetting(key, QStringLiteral("-1"))) == -1)
        writeSetting(key, QStringLiteral("1"));
}
