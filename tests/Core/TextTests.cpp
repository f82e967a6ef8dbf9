#include <gtest/gtest.h>

#include "Core/Text.h"

struct CleaningCase {
    const char* name;
    std::string in, out;
};

void PrintTo(const CleaningCase& c, std::ostream* os) { *os << c.name; }

class FormatOnlyCharacters : public ::testing::TestWithParam<CleaningCase> {};

TEST_P(FormatOnlyCharacters, AreRemovedByWholeCharacter) {
    EXPECT_EQ(Text::removingFormatOnlyCharacters(GetParam().in), GetParam().out);
}

// A family emoji is three people joined by U+200D; a subdivision flag carries tag
// characters (U+E0067 …): both are format marks inside a character that is not.
const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
const std::string scotland = "\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F";

INSTANTIATE_TEST_SUITE_P(
    Names, FormatOnlyCharacters,
    ::testing::Values(CleaningCase{"MarkInside", "A\u200EB", "AB"},
                      CleaningCase{"OnlyMarks", "\u200E\u2066\uFEFF", ""},
                      CleaningCase{"SoftHyphen", "Re\u00ADset", "Reset"},
                      CleaningCase{"JoinedEmojiStays", "Team " + family, "Team " + family},
                      CleaningCase{"TagFlagStays", scotland + " Maps\u2069", scotland + " Maps"},
                      CleaningCase{"Plain", "Émile", "Émile"}, CleaningCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Text, OrdersByLocaleIgnoringCaseButNotAccents) {
    const std::vector<std::string> ordered{"", "alpha", "Beta", "emile", "Émile", "gamma", "Zeta"};
    for (size_t i = 0; i + 1 < ordered.size(); ++i) {
        EXPECT_LT(Text::localizedCaseInsensitiveCompare(ordered[i], ordered[i + 1]), 0) << ordered[i];
        EXPECT_GT(Text::localizedCaseInsensitiveCompare(ordered[i + 1], ordered[i]), 0) << ordered[i];
    }
    EXPECT_EQ(Text::localizedCaseInsensitiveCompare("Google Chrome", "google CHROME"), 0);
    EXPECT_EQ(Text::lowercased("ÉMILE Straße AGENT"), "émile straße agent");
}

TEST(Text, FindsWholeCharactersIgnoringCase) {
    struct Case {
        const char* text;
        const char* needle;
        bool found;
    } cases[] = {
        {"Google Chrome", "chr", true}, {"Google Chrome", "OGLE C", true}, {"Visual Studio Code", "code", true},
        {"Café", "CAFÉ", true},         {"Café", "cafe", false},          {"Chrome", "chrome!", false},
        {"Chrome", "", false},          {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::localizedCaseInsensitiveContains(c.text, c.needle), c.found) << c.text << " / " << c.needle;
}
