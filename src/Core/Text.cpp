#include "Core/Text.h"

#include <unicode/ubrk.h>
#include <unicode/ucol.h>
#include <unicode/udatpg.h>
#include <unicode/uchar.h>
#include <unicode/usearch.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "Platform/UserLocale.h"

namespace Text {
namespace {
std::u16string utf16(std::string_view s) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, s.data(), static_cast<int32_t>(s.size()), 0xFFFD, nullptr, &status);
    std::u16string out(static_cast<size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), length, &length, s.data(), static_cast<int32_t>(s.size()), 0xFFFD, nullptr,
                         &status);
    if (U_FAILURE(status)) return {};
    return out;
}

std::string utf8(std::u16string_view s) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8WithSub(nullptr, 0, &length, s.data(), static_cast<int32_t>(s.size()), 0xFFFD, nullptr, &status);
    std::string out(static_cast<size_t>(length), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), length, &length, s.data(), static_cast<int32_t>(s.size()), 0xFFFD, nullptr,
                       &status);
    if (U_FAILURE(status)) return {};
    return out;
}

struct CloseCollator {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using OwnedCollator = std::unique_ptr<UCollator, CloseCollator>;

// The user's locale, read once and again after reloadLocale(); every thread's
// collators are opened anew when the epoch moves on.
std::mutex localeMutex;
std::optional<std::string> localeName;
std::atomic<unsigned> localeEpoch{0};

std::string userLocale() {
    std::lock_guard lock(localeMutex);
    if (!localeName) localeName = Platform::collationLocale();
    return *localeName;
}

OwnedCollator open(const std::string& locale, UColAttributeValue strength, bool numeric) {
    UErrorCode status = U_ZERO_ERROR;
    OwnedCollator c(ucol_open(locale.c_str(), &status));
    if (U_FAILURE(status)) return {};
    ucol_setStrength(c.get(), strength);
    if (numeric) ucol_setAttribute(c.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    return U_FAILURE(status) ? OwnedCollator() : std::move(c);
}

// One pair per thread: an ICU collator is not to be shared while in use.
struct Collators {
    unsigned epoch = ~0u;
    OwnedCollator caseInsensitive, standard;
};

Collators& collators() {
    thread_local Collators own;
    if (const unsigned epoch = localeEpoch.load(std::memory_order_acquire); own.epoch != epoch) {
        const std::string locale = userLocale();
        // Secondary strength tells accents apart and letter case not.
        own.caseInsensitive = open(locale, UCOL_SECONDARY, false);
        // Digits by their value; letter case orders only names that differ in nothing else.
        own.standard = open(locale, UCOL_TERTIARY, true);
        own.epoch = epoch;
    }
    return own;
}

UCollator* collator() { return collators().caseInsensitive.get(); }
}  // namespace

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    UCollator* c = collator();
    if (!c) return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status)) return a.compare(b);
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

int localizedStandardCompare(std::string_view a, std::string_view b) {
    UCollator* c = collators().standard.get();
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = c ? ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                                    static_cast<int32_t>(b.size()), &status)
                                 : UCOL_EQUAL;
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

std::string standardSortKey(std::string_view text) {
    UCollator* c = collators().standard.get();
    const std::u16string s = utf16(text);
    if (!c) return {};
    const auto length = static_cast<int32_t>(s.size());
    std::string key(64, '\0');
    int32_t needed = ucol_getSortKey(c, s.data(), length, reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
    if (needed > int32_t(key.size())) {
        key.resize(size_t(needed));
        needed = ucol_getSortKey(c, s.data(), length, reinterpret_cast<uint8_t*>(key.data()), needed);
    }
    key.resize(size_t(std::max(needed, 0)));
    return key;
}

void reloadLocale() {
    std::lock_guard lock(localeMutex);
    localeName.reset();
    localeEpoch.fetch_add(1, std::memory_order_release);
}

std::string dateTimeJoining(const std::string& locale) {
    // Opening a generator loads the locale's data: once per locale.
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    std::lock_guard lock(mutex);
    if (const auto it = known.find(locale); it != known.end()) return it->second;
    std::string joining = "{1} {0}";
    UErrorCode status = U_ZERO_ERROR;
    if (UDateTimePatternGenerator* generator = udatpg_open(locale.c_str(), &status)) {
        int32_t length = 0;
        // The long style's phrasing, "on this day at this time"; the shorter ones only list.
        const UChar* pattern = udatpg_getDateTimeFormatForStyle(generator, UDAT_LONG, &length, &status);
        if (U_SUCCESS(status) && pattern && length > 0) joining = utf8(std::u16string_view(pattern, size_t(length)));
        udatpg_close(generator);
    }
    return known.emplace(locale, joining).first->second;
}

std::string lowercased(std::string_view text) {
    const std::u16string s = utf16(text);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strToLower(nullptr, 0, s.data(), static_cast<int32_t>(s.size()), "", &status);
    std::u16string lower(static_cast<size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strToLower(lower.data(), length, s.data(), static_cast<int32_t>(s.size()), "", &status);
    return U_FAILURE(status) ? std::string(text) : utf8(lower);
}

struct CaseInsensitiveSearch::State {
    std::u16string pattern, text;
    OwnedCollator collator;  // its own: a thread's collators are replaced when the locale is read again
    UBreakIterator* characters = nullptr;
    UStringSearch* search = nullptr;
};

CaseInsensitiveSearch::CaseInsensitiveSearch(std::string_view needle) : state_(new State) {
    state_->pattern = utf16(needle);
    state_->collator = open(userLocale(), UCOL_SECONDARY, false);
    UCollator* c = state_->collator.get();
    if (!c || state_->pattern.empty()) return;
    // ICU wants some text to open on; each search sets its own.
    static const char16_t placeholder[] = u" ";
    UErrorCode status = U_ZERO_ERROR;
    state_->characters = ubrk_open(UBRK_CHARACTER, nullptr, placeholder, 1, &status);
    state_->search = usearch_openFromCollator(state_->pattern.data(), static_cast<int32_t>(state_->pattern.size()),
                                              placeholder, 1, c, state_->characters, &status);
    if (U_FAILURE(status) && state_->search) {
        usearch_close(state_->search);
        state_->search = nullptr;
    }
}

CaseInsensitiveSearch::~CaseInsensitiveSearch() {
    if (state_->search) usearch_close(state_->search);
    if (state_->characters) ubrk_close(state_->characters);
    delete state_;
}

bool CaseInsensitiveSearch::foundIn(std::string_view text) {
    if (!state_->search || text.empty()) return false;
    state_->text = utf16(text);
    if (state_->text.empty()) return false;
    UErrorCode status = U_ZERO_ERROR;
    // Also hands the text to the character breaks, so matches end on whole characters.
    usearch_setText(state_->search, state_->text.data(), static_cast<int32_t>(state_->text.size()), &status);
    if (U_FAILURE(status)) return false;
    const int32_t at = usearch_first(state_->search, &status);
    return U_SUCCESS(status) && at != USEARCH_DONE;
}

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view needle) {
    return CaseInsensitiveSearch(needle).foundIn(text);
}

std::string removingFormatOnlyCharacters(std::string_view text) {
    const std::u16string s = utf16(text);
    if (s.empty()) return {};
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* characters = ubrk_open(UBRK_CHARACTER, nullptr, s.data(), static_cast<int32_t>(s.size()), &status);
    if (U_FAILURE(status)) return std::string(text);
    std::u16string kept;
    kept.reserve(s.size());
    int32_t start = ubrk_first(characters);
    for (int32_t end = ubrk_next(characters); end != UBRK_DONE; start = end, end = ubrk_next(characters)) {
        bool formatOnly = true;
        for (int32_t i = start; i < end && formatOnly;) {
            UChar32 cp;
            U16_NEXT(s.data(), i, end, cp);
            formatOnly = u_charType(cp) == U_FORMAT_CHAR;
        }
        if (!formatOnly) kept.append(s, static_cast<size_t>(start), static_cast<size_t>(end - start));
    }
    ubrk_close(characters);
    return utf8(kept);
}
std::string trimmingWhitespace(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t start = 0, end = length;
    while (start < end) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(s, next, end, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        start = next;
    }
    while (end > start) {
        int32_t before = end;
        UChar32 c;
        U8_PREV(s, start, before, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = before;
    }
    return std::string(text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

std::vector<std::string> numericRuns(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    std::vector<std::string> runs;
    int32_t runStart = -1;
    for (int32_t i = 0; i < length;) {
        const int32_t at = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        const bool numeric = c >= 0 && u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
        if (numeric && runStart < 0) runStart = at;
        if (!numeric && runStart >= 0) {
            runs.emplace_back(text.substr(static_cast<size_t>(runStart), static_cast<size_t>(at - runStart)));
            runStart = -1;
        }
    }
    if (runStart >= 0) runs.emplace_back(text.substr(static_cast<size_t>(runStart)));
    return runs;
}
}  // namespace Text
