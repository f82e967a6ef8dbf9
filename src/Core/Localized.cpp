#include "Core/Localized.h"

#include <cwchar>
#include <cwctype>
#include <mutex>

namespace {
std::mutex& lock() {
    static std::mutex m;
    return m;
}
std::function<std::string(const std::string&)>& translator() {
    static std::function<std::string(const std::string&)> t;
    return t;
}

// UTF-8 to wide characters; a byte that starts no valid sequence stands for itself
// in the private range U+DC80..U+DCFF, so it survives the way back.
std::wstring widened(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = b[i];
        const int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = len > 0 && i + size_t(len) <= n;
        for (int k = 1; valid && k < len; ++k) {
            valid = (b[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (b[i + k] & 0x3F);
        }
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= least[len] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            out += wchar_t(0xDC00 + c);
            ++i;
            continue;
        }
        out += wchar_t(cp);
        i += size_t(len);
    }
    return out;
}

std::string narrowed(const std::wstring& w) {
    std::string out;
    out.reserve(w.size());
    for (wchar_t wc : w) {
        const auto cp = char32_t(wc);
        if (cp >= 0xDC80 && cp <= 0xDCFF) out += char(cp - 0xDC00);
        else if (cp < 0x80) out += char(cp);
        else if (cp < 0x800) out += {char(0xC0 | (cp >> 6)), char(0x80 | (cp & 0x3F))};
        else if (cp < 0x10000)
            out += {char(0xE0 | (cp >> 12)), char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
        else
            out += {char(0xF0 | (cp >> 18)), char(0x80 | ((cp >> 12) & 0x3F)), char(0x80 | ((cp >> 6) & 0x3F)),
                    char(0x80 | (cp & 0x3F))};
    }
    return out;
}

std::wstring lowerWide(std::string_view s) {
    std::wstring w = widened(s);
    for (wchar_t& c : w) c = wchar_t(std::towlower(wint_t(c)));
    return w;
}
}  // namespace

std::string lowercased(std::string_view utf8) { return narrowed(lowerWide(utf8)); }

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    return std::wcscoll(lowerWide(a).c_str(), lowerWide(b).c_str());
}

std::string localized(const std::string& english) {
    std::lock_guard g(lock());
    if (auto& t = translator()) return t(english);
    return english;
}

void setLocalizer(std::function<std::string(const std::string&)> t) {
    std::lock_guard g(lock());
    translator() = std::move(t);
}

std::string localizedFormat(const std::string& english, std::initializer_list<std::string_view> args) {
    const std::string text = localized(english);
    std::string out;
    auto arg = args.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '@' && arg != args.end()) {
            out += *arg++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
