#include "Models/Window/AppTab.h"

#include "Models/Kit/RawValue.h"

#include <QCoreApplication>

namespace {
struct TabLook {
    const char* raw;
    const char* title;
    TabTint tint;
    Rgba glow;
};

constexpr TabLook looks[] = {
    {"clean", QT_TRANSLATE_NOOP("AppTab", "Clean"),
     {{0.13, 0.19, 0.32}, {0.07, 0.09, 0.15}}, {0.40, 0.62, 1.00}},
    {"apps", QT_TRANSLATE_NOOP("AppTab", "Apps"),
     {{0.08, 0.22, 0.25}, {0.05, 0.10, 0.12}}, {0.30, 0.85, 0.85}},
    {"optimize", QT_TRANSLATE_NOOP("AppTab", "Optimize"),
     {{0.19, 0.15, 0.33}, {0.08, 0.07, 0.15}}, {0.65, 0.52, 1.00}},
    {"analyze", QT_TRANSLATE_NOOP("AppTab", "Analyze"),
     {{0.12, 0.21, 0.18}, {0.06, 0.10, 0.09}}, {0.45, 0.90, 0.62}},
    {"status", QT_TRANSLATE_NOOP("AppTab", "Status"),
     {{0.25, 0.19, 0.12}, {0.11, 0.09, 0.07}}, {1.00, 0.70, 0.40}},
};

const TabLook& look(AppTab tab) { return looks[static_cast<int>(tab)]; }
}  // namespace

QString rawValue(AppTab tab) { return QString::fromLatin1(look(tab).raw); }

std::optional<AppTab> appTabFromRawValue(const QString& raw) {
    return caseWithRawValue(AppTabs::allCases, raw);
}

QString title(AppTab tab) { return QCoreApplication::translate("AppTab", look(tab).title); }
TabTint tint(AppTab tab) { return look(tab).tint; }
Rgba glow(AppTab tab) { return look(tab).glow; }
