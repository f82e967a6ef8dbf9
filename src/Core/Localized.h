#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// The engine's one hook for user-visible texts: identity unless the application
// installs a translator (the English text is the key).
std::string localized(const std::string& english);
void setLocalizer(std::function<std::string(const std::string&)> translator);

// The English text with "%@" marks is the key; the arguments fill the marks in order.
std::string localizedFormat(const std::string& english, std::initializer_list<std::string_view> args);

// Every letter in lower case, by the C library's mapping for the current locale;
// bytes that are not UTF-8 stay as they are.
std::string lowercased(std::string_view utf8);
// Negative, zero or positive: a case-insensitive comparison in the collation order
// of the current locale.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
