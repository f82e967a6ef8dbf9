#pragma once
#include <string>

namespace Platform {
// The locale the user chose for ordering text, as the environment gives it: LC_ALL,
// else LC_COLLATE, else LANG, the first that is set and not empty. Written as a
// locale name without its encoding or modifier ("sv_SE.UTF-8" gives "sv_SE"); empty
// where none is set or it is the C or POSIX locale.
std::string collationLocale();
// The same for writing dates and times: LC_ALL, else LC_TIME, else LANG.
std::string timeLocale();
}  // namespace Platform
