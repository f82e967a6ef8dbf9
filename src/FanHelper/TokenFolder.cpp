#include "FanHelper/TokenFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "Platform/FileOps.h"

namespace {
std::string systemError(int err) {
    char buf[256];
    return ::strerror_r(err, buf, sizeof buf);
}

}  // namespace

std::optional<TokenFolder> TokenFolder::open(const std::filesystem::path& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Could not create " + path.string() + ": " + systemError(errno) + ".";
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != 0 || (st.st_mode & 077) != 0) {
        if (fd >= 0) ::close(fd);
        error = path.string() + " is not a folder that only root can use.";
        return std::nullopt;
    }
    return TokenFolder(fd);
}

TokenFolder::~TokenFolder() {
    if (lockFd_ >= 0) ::close(lockFd_);
    if (fd_ >= 0) ::close(fd_);
}

TokenFolder::TokenFolder(TokenFolder&& other) noexcept : fd_(other.fd_), lockFd_(other.lockFd_) {
    other.fd_ = other.lockFd_ = -1;
}

TokenFolder& TokenFolder::operator=(TokenFolder&& other) noexcept {
    std::swap(fd_, other.fd_);
    std::swap(lockFd_, other.lockFd_);
    return *this;
}

bool TokenFolder::lock() {
    if (lockFd_ < 0) lockFd_ = ::openat(fd_, "fan.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return false;
    int rc;
    while ((rc = ::flock(lockFd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return rc == 0;
}

void TokenFolder::unlock() {
    if (lockFd_ >= 0) ::flock(lockFd_, LOCK_UN);
}

bool TokenFolder::write(const std::string& name, const std::string& token, std::string& error) {
    // One writer at a time holds the lock, so one temporary name will do. Whatever
    // sits there (a planted link, a crashed run's leftover) is removed, never opened.
    const std::string temporary = "." + name + ".new";
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) ::unlinkat(fd_, temporary.c_str(), 0);
        else if (fd < 0) break;
    }
    if (fd < 0) {
        error = "Could not write the fan token: " + systemError(errno) + ".";
        return false;
    }
    const bool written = Platform::FileOps::writeAll(fd, token);
    const int writeError = errno;
    if (::close(fd) == 0 && written && ::renameat(fd_, temporary.c_str(), fd_, name.c_str()) == 0) return true;
    error = "Could not write the fan token: " + systemError(written ? errno : writeError) + ".";
    ::unlinkat(fd_, temporary.c_str(), 0);
    return false;
}

std::optional<std::string> TokenFolder::read(const std::string& name) const {
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> out;
    char buf[128];
    ssize_t n;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (n = ::read(fd, buf, sizeof buf)) >= 0)
        out = std::string(buf, static_cast<size_t>(n));
    ::close(fd);
    return out;
}

void TokenFolder::removeIfOwn(const std::string& name, const std::string& token) {
    if (read(name) == token) ::unlinkat(fd_, name.c_str(), 0);
}
