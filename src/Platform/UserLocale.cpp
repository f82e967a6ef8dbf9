#include "Platform/UserLocale.h"

#include <cstdlib>

namespace Platform {
std::string collationLocale() {
    std::string name;
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") return {};
    return name;
}
}  // namespace Platform
