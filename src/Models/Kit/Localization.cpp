#include "Models/Kit/Localization.h"

#include <QCoreApplication>
#include <QTranslator>

#include <climits>

#include "Core/Localized.h"
#include "Models/Kit/QtBridge.h"

static void registerTranslations() { Q_INIT_RESOURCE(translations); }

namespace {
// The form for n, its count written as `shown`.
QString form(const char* english, qint64 n, const QString& shown) {
    const int formCount = int(std::clamp<qint64>(n, 0, INT_MAX));
    QString text = QCoreApplication::translate(Localization::countedContext, english, nullptr, formCount);
    // The translation wrote formCount where "%n" stood; it stands for the count as shown.
    const QString written = QString::number(formCount);
    if (const qsizetype at = text.indexOf(written); at >= 0 && written != shown) text.replace(at, written.size(), shown);
    return text;
}
}  // namespace

QString counted(const char* english, qint64 n) { return form(english, n, QString::number(n)); }
QString counted(const char* english, qint64 n, const QString& shown) { return form(english, n, shown); }

namespace Localization {
void install() {
    static QTranslator* english = [] {
        registerTranslations();
        auto* t = new QTranslator(QCoreApplication::instance());
        (void)t->load(QStringLiteral(":/i18n/quelto_en.qm"));
        return t;
    }();
    QCoreApplication::installTranslator(english);
    setLocalizer([](const std::string& text, std::optional<int64_t> count) {
        if (count) return fromQString(counted(text.c_str(), *count));
        return fromQString(QCoreApplication::translate("Engine", text.c_str()));
    });
}
}  // namespace Localization
