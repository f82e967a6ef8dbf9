#include <gtest/gtest.h>

#include "Core/Text.h"

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
