#pragma once
#include <QString>

// Texts that count something go through one lookup: the English text with "%n" for
// the count is the key, and the English translation gives its singular, so
// counted("%n items", 1) reads "1 item". A new counted text gets its two English
// forms in resources/translations/quelto_en.ts (a test finds any that has none).
QString counted(const char* english, qint64 n);
// The same with the count shown as `shown` (an abbreviated "1.2k"); the form follows n.
QString counted(const char* english, qint64 n, const QString& shown);

namespace Localization {
// Installs the translations for the application object, and hands the engine's
// texts to them. Once, after the application object is made.
void install();
}  // namespace Localization
