#include "Models/Kit/Localization.h"

#include <QCoreApplication>
#include <QTranslator>

#include <climits>

#include "Core/Localized.h"
#include "Models/Kit/QtBridge.h"

static void registerTranslations() { Q_INIT_RESOURCE(translations); }

QString counted(const char* english, qint64 n) { return counted(english, n, QString::number(n)); }

QString counted(const char* english, qint64 n, const QString& shown) {
    const int formCount = int(std::clamp<qint64>(n, 0, INT_MAX));
    QString text = QCoreApplication::translate("Counted", english, nullptr, formCount);
    // The translation wrote formCount where "%n" stood; it stands for the count as shown.
    const QString written = QString::number(formCount);
    if (const qsizetype at = text.indexOf(written); at >= 0 && written != shown) text.replace(at, written.size(), shown);
    return text;
}

namespace Localization {
void install() {
    static QTranslator* english = [] {
        registerTranslations();
        auto* t = new QTranslator(QCoreApplication::instance());
        (void)t->load(QStringLiteral(":/i18n/quelto_en.qm"));
        return t;
    }();
    QCoreApplication::installTranslator(english);
    setLocalizer([](const std::string& text) { return fromQString(QCoreApplication::translate("Engine", text.c_str())); });
}
}  // namespace Localization
