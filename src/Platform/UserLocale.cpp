#include "Platform/UserLocale.h"

#include <cstdlib>

namespace Platform {
namespace {
std::string localeFrom(const char* category) {
    std::string name;
    for (const char* variable : {"LC_ALL", category, "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return {};
    return name;
}
}  // namespace

std::string collationLocale() { return localeFrom("LC_COLLATE"); }

std::string timeLocale() { return localeFrom("LC_TIME"); }
}  // namespace Platform
