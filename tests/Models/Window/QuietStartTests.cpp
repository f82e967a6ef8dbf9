#include "Models/Window/QuietStart.h"
#include "Support/QtTestSupport.h"

#include <gtest/gtest.h>

namespace {
const Platform::UserDefaults::Date now = Platform::dateFromReferenceSeconds(700'000'000);

struct Case {
    const char* name;
    std::optional<int> markedSecondsAgo;  // none: no date
    const char* markText;                 // a mark that is not a date
    bool loginItem, quiet;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class QuietStartDecision : public ::testing::TestWithParam<Case> {};
}  // namespace

// Each launch is judged from the defaults file as the last process left it, and
// leaves the mark gone whatever it held (and nothing else).
TEST_P(QuietStartDecision, JudgesTheMarkAndRemovesIt) {
    const Case& c = GetParam();
    qttest::TempHome home;
    auto before = home.freshDefaults();
    if (c.markedSecondsAgo) before->setDate(QuietStart::relaunchKey, now - std::chrono::seconds(*c.markedSecondsAgo));
    if (c.markText) before->setString(QuietStart::relaunchKey, c.markText);
    before->setString("other", "kept");

    const QStringList arguments = c.loginItem ? QStringList{"Quelto", "--login-item"} : QStringList{"Quelto"};
    EXPECT_EQ(QuietStart::decide(*home.freshDefaults(), arguments, now), c.quiet);
    auto after = home.freshDefaults();
    EXPECT_FALSE(after->object(QuietStart::relaunchKey).has_value());
    EXPECT_EQ(after->string("other"), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Marks, QuietStartDecision,
    ::testing::Values(
        Case{"TenSecondsOld", 10, nullptr, false, true}, Case{"JustUnderFiveMinutes", 299, nullptr, false, true},
        Case{"JustOverFiveMinutes", 301, nullptr, false, false}, Case{"NoMark", {}, nullptr, false, false},
        Case{"FromTheFuture", -3600, nullptr, false, true}, Case{"AStringNotADate", {}, "now", false, false},
        Case{"LoginLaunch", {}, nullptr, true, true}, Case{"LoginLaunchWithAStaleMark", 3600, nullptr, true, true}),
    [](const auto& info) { return std::string(info.param.name); });
