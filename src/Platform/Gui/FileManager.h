#pragma once
#include <QString>

#include <filesystem>
#include <functional>

// Showing an item in the file manager, by the exact bytes of its path: a name
// need not be UTF-8.
namespace Platform::FileManager {

// file:// URI of the path, every byte outside the unreserved set and "/" as %XX.
QString fileUri(const std::filesystem::path& path);

enum class RevealRoute { fileManager, parentFolder, failed };

// Opens a file manager window with the item selected: the session bus's
// org.freedesktop.FileManager1 ShowItems, or, when no file manager answers,
// xdg-open on the parent folder. Returns at once; `done` says which way it went.
void reveal(const std::filesystem::path& item, std::function<void(RevealRoute)> done = {});

// Opens a folder in the file manager through xdg-open; false when it could not
// be started.
bool open(const std::filesystem::path& folder);

// Tests: the named bus connection reveal() talks to; empty for the session bus.
void setBusForTesting(const QString& connectionName);

}  // namespace Platform::FileManager
