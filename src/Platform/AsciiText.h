#pragma once
#include <string>
#include <string_view>

namespace Platform {
// The blanks of the C locale.
inline constexpr std::string_view kAsciiBlanks = " \t\n\r\f\v";

// `s` without the leading and trailing `characters`.
constexpr std::string_view trimmed(std::string_view s, std::string_view characters = kAsciiBlanks) {
    const auto first = s.find_first_not_of(characters);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(characters) - first + 1);
}

// `s` with A-Z lowered, every other byte kept: for identifiers and file names, which
// may be any bytes.
inline std::string asciiLowercased(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}
}  // namespace Platform
