#pragma once

class QLocale;

// First start on a system whose language is not Chinese: store English ("1")
// unless a language is already stored. Only a missing key or a stored "-1" is
// replaced; anything else, even text that is not a number, is left alone.
void applyLanguageDefault(const QLocale &systemLocale);
