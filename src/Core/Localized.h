#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// The engine's one hook for user-visible texts: identity unless the application
// installs a translator (the English text is the key).
std::string localized(const std::string& english);

// A text that counts something: "%n" in the English key stands for the count, and
// the translator picks the form for it, so "%n items" reads "1 item" for one. Without
// a translator the count simply fills the key.
std::string localizedCount(const std::string& english, int64_t count);

// The translator gets the English key, and the count for a counted text.
using Localizer = std::function<std::string(const std::string& english, std::optional<int64_t> count)>;
void setLocalizer(Localizer translator);

// The English text with "%@" marks is the key; the arguments fill the marks in order.
std::string localizedFormat(const std::string& english, std::initializer_list<std::string_view> args);
