#pragma once
// The Full Disk Access probe and the opener of its settings. Stateless.
namespace Permissions {
// Whether the protected folders of the home (mail, browser data, the Trash) can be
// read. This platform withholds none of the user's own folders from the programs the
// user runs, so there is no such permission to lack: always true here.
bool hasFullDiskAccess();
// Shows the Full Disk Access list of the privacy settings where the system has one.
void openFullDiskAccessSettings();
}  // namespace Permissions
