#include "Startup.h"

#include "ConfigStore.h"

#include <QLocale>

void applyLanguageDefault(const QLocale &systemLocale)
{
    if (systemLocale.language() == QLocale::Chinese)
        return;
    // "Absent" means absent at every level: a language an administrator set
    // for all accounts is a choice already made.
    if (settingToInt(readSetting(Setting::language, QStringLiteral("-1"))) == -1)
        writeSetting(Setting::language, QStringLiteral("1"));
}
