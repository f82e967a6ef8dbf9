#include "Platform/FileSystems.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <sstream>

#include "Platform/FileOps.h"

namespace Platform::FileSystems {
namespace {
// Kinds the status of a file system tells by itself.
bool pseudoOrRemoteMagic(unsigned long magic) {
    switch (magic) {
        case PROC_SUPER_MAGIC: case SYSFS_MAGIC: case DEVPTS_SUPER_MAGIC: case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC: case DEBUGFS_MAGIC: case TRACEFS_MAGIC: case SECURITYFS_MAGIC:
        case BPF_FS_MAGIC: case PSTOREFS_MAGIC: case AUTOFS_SUPER_MAGIC: case HUGETLBFS_MAGIC:
        case BINFMTFS_MAGIC: case SELINUX_MAGIC: case EFIVARFS_MAGIC: case 0x62656570 /* configfs */:
        case 0x19800202 /* mqueue */: case 0x65735543 /* fusectl */:
        case NFS_SUPER_MAGIC: case SMB_SUPER_MAGIC: case CIFS_SUPER_MAGIC: case SMB2_SUPER_MAGIC:
        case CODA_SUPER_MAGIC: case AFS_SUPER_MAGIC: case AFS_FS_MAGIC: case CEPH_SUPER_MAGIC: case V9FS_MAGIC:
            return true;
        default:
            return false;
    }
}

// Mount types that share a magic number with local kinds: devtmpfs looks like tmpfs,
// and every FUSE file system looks alike.
bool pseudoOrRemoteType(const std::string& type) {
    static const char* const kinds[] = {
        "devtmpfs",   "fuse.sshfs",  "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.gvfsd-fuse",
        "fuse.davfs", "fuse.curlftpfs", "fuse.smbnetfs", "fuse.glusterfs", "fuse.ceph-fuse", "fuse.portal",
    };
    return std::find(std::begin(kinds), std::end(kinds), type) != std::end(kinds);
}

}  // namespace

std::string mountType(dev_t device, const std::filesystem::path& procRoot) {
    const auto text = FileOps::readFile(procRoot / "self/mountinfo");
    if (!text) return {};
    const std::string id = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional…] - type source super-options
        std::istringstream fields(line);
        std::string mountId, parentId, numbers;
        if (!(fields >> mountId >> parentId >> numbers) || numbers != id) continue;
        const size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        if (rest >> type) return type;
    }
    return {};
}

bool isPseudoOrRemote(int folderFd, const std::filesystem::path& procRoot) {
    struct ::statfs fs {};
    if (::fstatfs(folderFd, &fs) != 0) return false;
    const auto magic = static_cast<unsigned long>(fs.f_type);
    if (pseudoOrRemoteMagic(magic)) return true;
    if (magic != TMPFS_MAGIC && magic != FUSE_SUPER_MAGIC) return false;
    struct ::stat st {};
    if (::fstat(folderFd, &st) != 0) return false;
    return pseudoOrRemoteType(mountType(st.st_dev, procRoot));
}
}  // namespace Platform::FileSystems
