#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading and writing freedesktop desktop files (.desktop and autostart entries).
namespace Platform::DesktopEntry {
using Key = std::pair<std::string, std::string>;

// The key/value lines of the file's [Desktop Entry] group, in file order, spaces
// around the key and the value dropped. Only a regular file is read, and only the
// whole lines of its start: a FIFO or device named like a desktop file could block
// or never end.
std::vector<Key> mainGroup(const std::filesystem::path& file);

// The key/value lines of the group named `name` in a key-file text, in order,
// blanks around the key and the value dropped; a line that starts with one of
// `comments` is skipped.
std::vector<Key> group(std::string_view text, std::string_view name, std::string_view comments = "#");

// A string value with its escapes (\s \n \t \r \\) undone.
std::string stringValue(const std::string& raw);

// One argument of an Exec line, quoted as the desktop-entry format wants it
// (double quotes, \ " ` $ escaped, % doubled, then the string-value escapes).
std::string quotedExecArgument(const std::string& argument);
// Splits an Exec value back into its arguments; inverse of quotedExecArgument.
std::vector<std::string> execArguments(const std::string& execValue);
}  // namespace Platform::DesktopEntry
