#pragma once
#include <filesystem>
#include <string>

#include "Platform/FileOps.h"

// The freedesktop Trash (files/ and info/), our own code: Qt's moveToTrash
// writes an unencoded Path= and may "trash" into the working folder.
namespace Platform::Trash {
struct Result {
    bool ok = false;
    std::string error;                  // why it could not be trashed
    std::filesystem::path trashedPath;  // where the item now lies
};

// Moves the item into the home Trash, or, when it lies on another file system,
// into that volume's .Trash-<uid>; never copies. The folder holding it is found by
// its path with links resolved.
Result moveToTrash(const std::filesystem::path& item);
// The same for the entry `name` of a folder already open, which stands at `itemPath`
// (written to the .trashinfo): the move happens in that very folder.
Result moveToTrash(int folderFd, const std::string& name, const std::filesystem::path& itemPath);

// Deletes one entry of a Trash files/ folder; its .trashinfo goes only once the entry
// is gone.
bool removeTrashedEntry(const std::filesystem::path& entryInFiles);
// The same for the entry `name` of the files/ folder already open.
FileOps::Status removeTrashedEntry(int filesFd, const std::string& name);

// Deletes the .trashinfo files of the user's Trash whose entry in files/ is gone.
void removeOrphanedInfo();

// Whether the item is an entry of the user's own Trash (its files/ folder),
// whichever way the home folder is written.
bool isHomeTrashEntry(const std::filesystem::path& item);
}  // namespace Platform::Trash
