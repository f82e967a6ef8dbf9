#include "Platform/DesktopEntry.h"

#include "Platform/AsciiText.h"
#include "Platform/FileOps.h"

namespace fs = std::filesystem;

namespace Platform::DesktopEntry {
namespace {
// Real entries take a few KiB in a few hundred lines: only the start of each is read
// and parsed, at most this many bytes and lines (parsing costs by the line), so that
// thousands of large files named like entries cost little.
constexpr size_t kEntryBytes = 32 * 1024, kEntryLines = 1024;

// The escapes of a desktop-entry string value.
std::string escapeStringValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescapeStringValue(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += s[i];
        }
    }
    return out;
}
}  // namespace

std::vector<Key> group(std::string_view text, std::string_view name, std::string_view comments) {
    std::vector<Key> keys;
    bool inGroup = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view t = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (t.empty() || comments.find(t[0]) != std::string_view::npos) continue;
        if (t[0] == '[') {
            inGroup = t.size() == name.size() + 2 && t.back() == ']' && t.substr(1, name.size()) == name;
            continue;
        }
        const auto eq = t.find('=');
        if (!inGroup || eq == std::string_view::npos) continue;
        keys.emplace_back(trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1)));
    }
    return keys;
}

std::vector<Key> mainGroup(const fs::path& file) {
    const auto start = FileOps::readStart(file, kEntryBytes);
    if (!start) return {};
    const std::string_view text = start->bytes;
    size_t end = 0;
    for (size_t lines = 0; lines < kEntryLines; ++lines) {
        const size_t next = text.find('\n', end);
        if (next == std::string_view::npos) {
            // A line cut at the cap would give a wrong value: only whole lines count.
            if (start->whole) end = text.size();
            break;
        }
        end = next + 1;
    }
    return group(text.substr(0, end), "Desktop Entry");
}

std::string stringValue(const std::string& raw) { return unescapeStringValue(raw); }

std::string quotedExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return escapeStringValue(quoted);
}

std::vector<std::string> execArguments(const std::string& execValue) {
    const std::string line = unescapeStringValue(execValue);
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArg) args.push_back(current), current.clear(), inArg = false;
            continue;
        }
        inArg = true;
        if (c == '"') quoted = !quoted;
        else if (quoted && c == '\\' && i + 1 < line.size()) current += line[++i];
        else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') current += line[++i];
        else current += c;
    }
    if (inArg) args.push_back(current);
    return args;
}
}  // namespace Platform::DesktopEntry
