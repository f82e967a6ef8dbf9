#pragma once
#include <string>
#include <string_view>
#include <vector>

// Text as a person reads it, in the user's locale (ICU, from Platform::collationLocale):
// ordering and matching that ignore letter case but not accents, and characters as
// grapheme clusters.
// Every function takes and returns UTF-8; bytes that are not UTF-8 read as U+FFFD.
// Safe to call from any thread.
namespace Text {
// <0, 0 or >0: "alpha" < "Beta" < "Émile" < "gamma".
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

// Names in the order a person expects: by the locale's alphabet, numbers by their
// value ("f2" before "f10"), letter case last; names that read alike are ordered by
// their bytes, so two different names never compare equal.
int localizedStandardCompare(std::string_view a, std::string_view b);
// For sorting many names: keys compared as bytes give the same order, except that
// names with equal keys are still to be ordered by their own bytes.
std::string standardSortKey(std::string_view text);

// Reads the user's locale again (after the environment changed); every thread's next
// comparison follows it.
void reloadLocale();

// How `locale` (a name such as "de_DE") joins a day and its time of day into one
// phrase: a date pattern with {1} for the date and {0} for the time, its words
// quoted: "{1} 'at' {0}" in English, "{1} 'um' {0}" in German, "{1} {0}" in Japanese.
std::string dateTimeJoining(const std::string& locale);

// Every letter in lower case, by the Unicode rules: "ÉMILE Straße" gives "émile straße".
std::string lowercased(std::string_view text);

// Whether `needle` occurs in `text`, letter case ignored, whole characters only.
// An empty needle is found nowhere.
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view needle);

// The same search for one needle in many texts, prepared once. One thread at a time.
class CaseInsensitiveSearch {
public:
    explicit CaseInsensitiveSearch(std::string_view needle);
    ~CaseInsensitiveSearch();
    CaseInsensitiveSearch(const CaseInsensitiveSearch&) = delete;
    CaseInsensitiveSearch& operator=(const CaseInsensitiveSearch&) = delete;
    bool foundIn(std::string_view text);

private:
    struct State;
    State* state_;
};

// The text without the characters (grapheme clusters) made only of format marks
// (general category Cf): "A\u200EB" gives "AB", while a joined emoji or a flag
// made with tag characters stays whole.
std::string removingFormatOnlyCharacters(std::string_view text);

// The text without white space or line breaks (any Unicode space) at either end.
std::string trimmingWhitespace(std::string_view text);

// The maximal runs of characters that count as numbers (any Unicode numeric
// character, not only 0-9), in order: "1.2b3" gives "1", "2", "3".
std::vector<std::string> numericRuns(std::string_view text);
}  // namespace Text
