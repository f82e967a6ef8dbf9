#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Core/Text.h"
#include "Platform/UserLocale.h"
#include "Support/TestTree.h"

TEST(Text, FindsWholeCharactersIgnoringCaseButNotAccents) {
    struct Case {
        const char* text;
        const char* needle;
        bool found;
    } cases[] = {
        {"Google Chrome", "OGLE C", true}, {"Café", "CAFÉ", true}, {"Café", "cafe", false},
        {"\U0001F468\u200D\U0001F469", "\U0001F468", false},  // one of two joined people
        {"Chrome", "", false}, {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::localizedCaseInsensitiveContains(c.text, c.needle), c.found) << c.text << " / " << c.needle;
}

namespace {
using Env = std::optional<std::string>;

// The environment as the user sets it, read again; the old one comes back after.
class LocaleScope {
public:
    LocaleScope(Env lcAll, Env lcCollate, Env lang)
        : all_("LC_ALL", lcAll), collate_("LC_COLLATE", lcCollate), lang_("LANG", lang) {
        Text::reloadLocale();
    }

private:
    struct Reload {
        ~Reload() { Text::reloadLocale(); }
    } reload_;  // first made, last gone: after the variables are restored
    testtree::ScopedEnv all_, collate_, lang_;
};

struct OrderCase {
    const char* name;
    Env lcAll, lcCollate, lang;
    std::vector<std::string> in, want;
};
void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class StandardOrder : public ::testing::TestWithParam<OrderCase> {};
}  // namespace

// Sorted by comparison and by keys alike, in the locale the environment names.
TEST_P(StandardOrder, FollowsTheUsersLocaleAndNumbersByValue) {
    const OrderCase& c = GetParam();
    LocaleScope locale(c.lcAll, c.lcCollate, c.lang);
    std::vector<std::string> compared = c.in, keyed = c.in;
    std::sort(compared.begin(), compared.end(),
              [](const std::string& a, const std::string& b) { return Text::localizedStandardCompare(a, b) < 0; });
    EXPECT_EQ(compared, c.want);
    std::sort(keyed.begin(), keyed.end(), [](const std::string& a, const std::string& b) {
        const int k = Text::standardSortKey(a).compare(Text::standardSortKey(b));
        return k != 0 ? k < 0 : a < b;
    });
    EXPECT_EQ(keyed, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StandardOrder,
    ::testing::Values(
        OrderCase{"NumbersByValue", "en_US.UTF-8", {}, {}, {"f10", "f2", "f1", "f02b"}, {"f1", "f2", "f02b", "f10"}},
        OrderCase{"LettersBeforeCase", "en_US.UTF-8", {}, {}, {"Zebra", "apple", "Apple", "banana"},
                  {"apple", "Apple", "banana", "Zebra"}},
        OrderCase{"SwedishLettersAfterZ", "sv_SE.UTF-8", {}, {}, {"Öl", "Zebra", "Ärta", "Åsa", "Olle"},
                  {"Olle", "Zebra", "Åsa", "Ärta", "Öl"}},
        OrderCase{"GermanUmlautBesideItsVowel", "de_DE.UTF-8", {}, {}, {"Zebra", "Öl", "Ofen", "Ozean"},
                  {"Ofen", "Öl", "Ozean", "Zebra"}},
        OrderCase{"LangLast", {}, {}, "sv_SE.UTF-8", {"Öl", "Zebra"}, {"Zebra", "Öl"}},
        OrderCase{"PosixIsTheRootOrder", "C", {}, {}, {"Zebra", "Öl", "f10", "f9"}, {"f9", "f10", "Öl", "Zebra"}},
        // Not UTF-8: both read "caf\uFFFD", and the bytes decide.
        OrderCase{"UnreadableNamesByBytes", "en_US.UTF-8", {}, {}, {"caf\xe9", "caf\xe8"}, {"caf\xe8", "caf\xe9"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Text, CaseInsensitiveOrderFollowsTheLocaleToo) {
    {
        LocaleScope swedish("sv_SE.UTF-8", {}, {});
        EXPECT_GT(Text::localizedCaseInsensitiveCompare("Öl", "Zebra"), 0);
        EXPECT_EQ(Text::localizedCaseInsensitiveCompare("öl", "ÖL"), 0);
    }
    LocaleScope english("en_US.UTF-8", {}, {});
    EXPECT_LT(Text::localizedCaseInsensitiveCompare("Öl", "Zebra"), 0);
}

TEST(UserLocale, NamesTheLocaleWithoutEncodingOrModifier) {
    struct Case {
        Env lcAll, lcCollate, lang;
        std::string want;
    } const cases[] = {
        {"sv_SE.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "sv_SE"},
        {"", "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE"},  // an empty variable counts as unset
        {{}, {}, "fr_FR.UTF-8", "fr_FR"},
        {{}, {}, "de_DE@euro", "de_DE"},
        {"C.UTF-8", {}, "sv_SE.UTF-8", ""},
        {"POSIX", {}, {}, ""},
        {{}, {}, {}, ""},
    };
    for (const auto& c : cases) {
        testtree::ScopedEnv all("LC_ALL", c.lcAll), collate("LC_COLLATE", c.lcCollate), lang("LANG", c.lang);
        EXPECT_EQ(Platform::collationLocale(), c.want) << c.lcAll.value_or("-") << " " << c.lcCollate.value_or("-") << " "
                                                       << c.lang.value_or("-");
    }
}
