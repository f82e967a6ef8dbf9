#pragma once
#include <filesystem>
#include <string>

// The freedesktop Trash (files/ and info/), our own code: Qt's moveToTrash
// writes an unencoded Path= and may "trash" into the working folder.
namespace Platform::Trash {
struct Result {
    bool ok = false;
    std::string error;                  // why it could not be trashed
    std::filesystem::path trashedPath;  // where the item now lies
};

// Moves the item into the home Trash, or, when it lies on another file system,
// into that volume's .Trash-<uid>; never copies.
Result moveToTrash(const std::filesystem::path& item);

// Deletes one entry of a Trash files/ folder together with its .trashinfo.
bool removeTrashedEntry(const std::filesystem::path& entryInFiles);

// Whether the item is an entry of the user's own Trash (its files/ folder),
// whichever way the home folder is written.
bool isHomeTrashEntry(const std::filesystem::path& item);
}  // namespace Platform::Trash
