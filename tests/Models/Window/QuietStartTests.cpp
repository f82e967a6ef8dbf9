#include "Models/Window/QuietStart.h"
#include "Support/QtTestSupport.h"

#include <gtest/gtest.h>

// Each launch is judged from the defaults file as the last process left it, and
// leaves the mark gone whatever it held (and nothing else).
TEST(QuietStart, JudgesTheMarkAndRemovesIt) {
    const Platform::UserDefaults::Date now = Platform::dateFromReferenceSeconds(700'000'000);
    struct Case {
        const char* name;
        std::optional<int> markedSecondsAgo;  // none: no date
        const char* markText;                 // a mark that is not a date
        bool loginItem, quiet;
    };
    const Case cases[] = {
        {"ten seconds old", 10, nullptr, false, true}, {"just under five minutes", 299, nullptr, false, true},
        {"just over five minutes", 301, nullptr, false, false}, {"no mark", {}, nullptr, false, false},
        {"from the future", -3600, nullptr, false, true}, {"a string, not a date", {}, "now", false, false},
        {"login launch", {}, nullptr, true, true}, {"login launch with a stale mark", 3600, nullptr, true, true},
    };
    for (const Case& c : cases) {
        qttest::TempHome home;
        auto before = home.freshDefaults();
        if (c.markedSecondsAgo) before->setDate(QuietStart::relaunchKey, now - std::chrono::seconds(*c.markedSecondsAgo));
        if (c.markText) before->setString(QuietStart::relaunchKey, c.markText);
        before->setString("other", "kept");

        const QStringList arguments = c.loginItem ? QStringList{"Quelto", "--login-item"} : QStringList{"Quelto"};
        EXPECT_EQ(QuietStart::decide(*home.freshDefaults(), arguments, now), c.quiet) << c.name;
        auto after = home.freshDefaults();
        EXPECT_FALSE(after->object(QuietStart::relaunchKey).has_value()) << c.name;
        EXPECT_EQ(after->string("other"), "kept") << c.name;
    }
}
