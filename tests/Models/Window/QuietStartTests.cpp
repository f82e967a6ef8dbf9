#include "Models/Window/QuietStart.h"
#include "Support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using qttest::TempHome;
using Date = Platform::UserDefaults::Date;

namespace {
const Date now = Platform::dateFromReferenceSeconds(700'000'000);

struct Case {
    const char* name;
    std::function<void(Platform::UserDefaults&)> mark;
    QStringList arguments;
    bool quiet;
};

const auto markedAgo = [](double seconds) {
    return [seconds](Platform::UserDefaults& d) {
        d.setDate(QuietStart::relaunchKey,
                  now - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds)));
    };
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class QuietStartDecision : public ::testing::TestWithParam<Case> {};
}  // namespace

// Each launch is judged from the defaults file as the last process left it, and
// leaves the mark gone whatever it held.
TEST_P(QuietStartDecision, JudgesTheMarkAndRemovesIt) {
    const Case& c = GetParam();
    TempHome home;
    if (c.mark) c.mark(*home.freshDefaults());
    home.freshDefaults()->setString("other", "kept");

    auto defaults = home.freshDefaults();
    EXPECT_EQ(QuietStart::decide(*defaults, c.arguments, now), c.quiet);
    auto after = home.freshDefaults();
    EXPECT_FALSE(after->object(QuietStart::relaunchKey).has_value());
    EXPECT_EQ(after->string("other"), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Marks, QuietStartDecision,
    ::testing::Values(
        Case{"TenSecondsOld", markedAgo(10), {"Quelto"}, true},
        Case{"JustUnderFiveMinutes", markedAgo(299), {"Quelto"}, true},
        Case{"JustOverFiveMinutes", markedAgo(301), {"Quelto"}, false},
        Case{"FromTheFuture", markedAgo(-3600), {"Quelto"}, true},
        Case{"AStringNotADate", [](auto& d) { d.setString(QuietStart::relaunchKey, "now"); }, {"Quelto"}, false},
        Case{"NoMark", nullptr, {"Quelto"}, false},
        Case{"LoginLaunch", nullptr, {"Quelto", "--login-item"}, true},
        Case{"LoginLaunchWithAStaleMark", markedAgo(3600), {"Quelto", "--login-item"}, true}),
    [](const auto& info) { return std::string(info.param.name); });
