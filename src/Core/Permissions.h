#pragma once
// The Full Disk Access probe and the opener of its settings. Stateless; every call
// probes the disk again.
namespace Permissions {
// True when one of three protected locations of the home folder can be read.
bool hasFullDiskAccess();
// Shows the Full Disk Access list of the privacy settings where the system has one.
void openFullDiskAccessSettings();
}  // namespace Permissions
