#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "Platform/FileOps.h"
#include "Platform/FileSystems.h"
#include "PlatformTestSupport.h"

namespace fs = std::filesystem;
using platformtest::TempDir;
using platformtest::writeFile;

TEST(FileSystems, KernelFileSystemsHoldNoDiskData) {
    TempDir t;
    struct Case {
        fs::path folder;
        bool pseudo;
    } const cases[] = {{"/proc", true}, {"/sys", true}, {"/dev", true}, {t.path(), false}};
    for (const auto& c : cases) {
        const Platform::FileOps::Descriptor fd(::open(c.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(fd) << c.folder;
        EXPECT_EQ(Platform::FileSystems::isPseudoOrRemote(fd.get()), c.pseudo) << c.folder;
    }
}

// FUSE and tmpfs look alike to the kernel whatever they hold: the mount table tells.
TEST(FileSystems, MountTypeComesFromTheMountTable) {
    TempDir proc;
    writeFile(proc / "self/mountinfo",
              "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
              "24 27 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=1k\n"
              "61 27 0:52 / /mnt/remote\\040box rw,nosuid shared:30 - fuse.sshfs user@host: rw\n"
              "garbage\n");
    EXPECT_EQ(Platform::FileSystems::mountType(makedev(0, 52), proc.path()), "fuse.sshfs");
    EXPECT_EQ(Platform::FileSystems::mountType(makedev(0, 6), proc.path()), "devtmpfs");
    EXPECT_EQ(Platform::FileSystems::mountType(makedev(8, 1), proc.path()), "");
    EXPECT_EQ(Platform::FileSystems::mountType(makedev(0, 6), proc / "missing"), "");
}
