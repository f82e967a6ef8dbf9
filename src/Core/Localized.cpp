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
