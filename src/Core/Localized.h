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
