#pragma once
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

// Makes a file impossible to remove, even for root; undone when it goes out of scope.
class Pinned {
public:
    explicit Pinned(const std::filesystem::path& p) : path_(p) { ok_ = set(true); }
    ~Pinned() {
        if (ok_) set(false);
    }
    bool ok() const { return ok_; }

private:
    bool set(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    std::filesystem::path path_;
    bool ok_ = false;
};
