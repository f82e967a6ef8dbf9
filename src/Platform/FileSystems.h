#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>

// What kind of file system a folder lies on, for walks that measure disk use.
namespace Platform::FileSystems {
// Whether the folder lies on a file system that holds no data of this machine's disks:
// a kernel pseudo file system (proc, sysfs, devtmpfs, cgroup …) or a network one (NFS,
// SMB, sshfs …). Unknown kinds count as local. Mount types are read from
// `procRoot`/self/mountinfo where the status of the file system does not tell.
bool isPseudoOrRemote(int folderFd, const std::filesystem::path& procRoot = "/proc");

// The type of the mount that holds `device` ("ext4", "fuse.sshfs" …); empty when unknown.
std::string mountType(dev_t device, const std::filesystem::path& procRoot = "/proc");
}  // namespace Platform::FileSystems
