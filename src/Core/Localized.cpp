#include "Core/Localized.h"

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
}  // namespace

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
