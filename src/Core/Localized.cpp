#include "Core/Localized.h"

#include <mutex>

namespace {
std::mutex& lock() {
    static std::mutex m;
    return m;
}
Localizer& translator() {
    static Localizer t;
    return t;
}
}  // namespace

std::string localized(const std::string& english) {
    std::lock_guard g(lock());
    if (auto& t = translator()) return t(english, std::nullopt);
    return english;
}

std::string localizedCount(const std::string& english, int64_t count) {
    {
        std::lock_guard g(lock());
        if (auto& t = translator()) return t(english, count);
    }
    std::string out = english;
    const std::string number = std::to_string(count);
    for (size_t at = out.find("%n"); at != std::string::npos; at = out.find("%n", at + number.size()))
        out.replace(at, 2, number);
    return out;
}

void setLocalizer(Localizer t) {
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
