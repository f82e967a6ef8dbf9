#pragma once
#include <functional>
#include <string>

// The engine's one hook for user-visible texts: identity unless the application
// installs a translator (the English text is the key).
std::string localized(const std::string& english);
void setLocalizer(std::function<std::string(const std::string&)> translator);
