#include "Platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace Platform::FileOps {
const char* const kChangedWhileRemoving = "the folder changed while it was being removed";

void Descriptor::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

namespace {
Status failure(int err) { return {false, std::strerror(err)}; }

// Open folders kept during a walk; deeper trees park the outer ones and come
// back to them through "..", checked against the folder they were.
constexpr size_t kOpenLevels = 64;

struct Frame {
    DIR* dir = nullptr;  // owns the folder's descriptor; nothing while parked
    std::string name;    // its name inside the frame below
    dev_t device = 0;
    ino_t inode = 0;
    std::set<std::string> failed;  // entries that could not go: not tried again
};

// Opens the folder `name` inside `parentFd` without following a link.
DIR* openFolder(int parentFd, const char* name, struct ::stat* st) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* d = ::fstat(fd, st) == 0 ? ::fdopendir(fd) : nullptr;
    if (!d) {
        const int e = errno;
        ::close(fd);
        errno = e;
    }
    return d;
}

bool isDots(const char* n) { return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)); }

// Empties and removes the folder `name` inside `parentFd`. The walk lives on the
// heap, so depth costs no stack and at most kOpenLevels descriptors. It goes on
// past failures (like rm -rf) and reports the first one.
Status removeFolder(int parentFd, const char* name, dev_t parentDevice) {
    Status result;
    auto noteText = [&](const char* text) {
        if (result.ok) result = {false, text};
    };
    auto note = [&](int err) {
        if (err == ENOTEMPTY || err == EEXIST) noteText(kChangedWhileRemoving);
        else if (err != ENOENT) noteText(std::strerror(err));
    };

    std::vector<Frame> stack;
    size_t parked = 0;  // stack[0..parked) have no open folder
    auto fdOf = [&](size_t level) { return ::dirfd(stack[level].dir); };

    // Returns false when `child` could not be entered (the failure is noted). One that
    // vanished is no failure; should it come back, removing its folder fails and says so.
    auto enter = [&](int fd, const char* child, dev_t outerDevice) {
        struct ::stat st {};
        DIR* d = openFolder(fd, child, &st);
        if (!d) {
            const int e = errno;
            // Replaced by a link or a file since it was examined: remove that instead.
            if ((e == ELOOP || e == ENOTDIR) && ::unlinkat(fd, child, 0) == 0) return true;
            if (e == ENOENT) return true;
            note(e == ELOOP || e == ENOTDIR ? errno : e);
            return false;
        }
        // Never walk into another mounted volume: its contents are not part of this
        // tree, and the mount point itself could not be removed anyway.
        if (st.st_dev != outerDevice) {
            ::closedir(d);
            noteText("can't remove a folder that holds another mounted volume");
            return false;
        }
        stack.push_back({d, child, st.st_dev, st.st_ino, {}});
        if (stack.size() - parked > kOpenLevels) {
            ::closedir(stack[parked].dir);
            stack[parked++].dir = nullptr;
        }
        return true;
    };

    if (!enter(parentFd, name, parentDevice)) return result;

    while (!stack.empty()) {
        const size_t level = stack.size() - 1;
        const int fd = fdOf(level);
        errno = 0;
        if (const dirent* e = ::readdir(stack[level].dir)) {
            const char* n = e->d_name;
            if (isDots(n) || stack[level].failed.count(n)) continue;
            bool folder = e->d_type == DT_DIR;
            if (e->d_type == DT_DIR || e->d_type == DT_UNKNOWN) {
                struct ::stat st {};
                if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno != ENOENT) stack[level].failed.insert(n);
                    note(errno);
                    continue;
                }
                folder = S_ISDIR(st.st_mode);
            }
            if (folder) {
                const std::string child = n;  // enter may reallocate the stack
                if (!enter(fd, child.c_str(), stack[level].device)) stack[level].failed.insert(child);
            } else if (::unlinkat(fd, n, 0) != 0) {
                if (errno != ENOENT) stack[level].failed.insert(n);
                note(errno);
            }
            continue;
        }
        if (errno != 0) note(errno);

        int outer = parentFd;
        if (level > 0) {
            Frame& up = stack[level - 1];
            if (!up.dir) {
                // Back to a parked folder: it must still be the one we left.
                struct ::stat st {};
                DIR* d = openFolder(fd, "..", &st);
                if (!d || st.st_dev != up.device || st.st_ino != up.inode) {
                    if (d) ::closedir(d);
                    for (size_t i = parked; i < stack.size(); ++i) ::closedir(stack[i].dir);
                    result = {false, kChangedWhileRemoving};
                    return result;
                }
                up.dir = d;
                parked = level - 1;
            }
            outer = fdOf(level - 1);
        }
        const std::string done = std::move(stack[level].name);
        ::closedir(stack[level].dir);
        stack.pop_back();
        if (::unlinkat(outer, done.c_str(), AT_REMOVEDIR) != 0) {
            // Noted even after a failure inside it: the first failure noted is the one
            // reported, and a folder that stays must never leave the result a success.
            const int e = errno;
            note(e);
            if (!stack.empty() && e != ENOENT) stack.back().failed.insert(done);
        }
    }
    return result;
}
}  // namespace

std::optional<struct ::stat> attributes(const fs::path& p) {
    struct ::stat st {};
    if (::lstat(p.c_str(), &st) != 0) return std::nullopt;
    return st;
}

std::optional<std::string> resolvedAsFarAsItExists(const fs::path& p) {
    // Component by component, as the kernel walks a path: a link is replaced by its
    // target before anything after it, and ".." leaves what was reached, not what was
    // written. Only a missing rest with no ".." in it goes beyond what the kernel opens:
    // it is kept as written, as a folder made there would be.
    const auto refused = [](int error) -> std::optional<std::string> {
        errno = error;
        return std::nullopt;
    };
    std::string start = p.native();
    if (start.empty()) return refused(ENOENT);
    if (start.size() >= PATH_MAX) return refused(ENAMETOOLONG);
    if (start.front() != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) return std::nullopt;
        start = std::string(cwd) + "/" + start;
    }
    std::vector<std::string> pending;  // what is left to walk, last component first
    const auto push = [&pending](std::string_view text) {
        std::vector<std::string> parts;
        for (size_t at = 0; at <= text.size();) {
            const size_t slash = std::min(text.find('/', at), text.size());
            if (slash > at) parts.emplace_back(text.substr(at, slash - at));
            at = slash + 1;
        }
        // A trailing "/" asks for a folder, as "." does.
        if (text.size() > 1 && text.back() == '/') parts.emplace_back(".");
        pending.insert(pending.end(), parts.rbegin(), parts.rend());
    };
    push(start);
    std::string reached = "/";
    bool folder = true;    // what is reached is a folder (when it is there)
    bool missing = false;  // some of the last components of `reached` are not there
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (!missing && !folder) return refused(ENOTDIR);
        if (name == ".") continue;
        if (name == "..") {
            // There is no stepping back from a name that is not there.
            if (missing) return refused(ENOENT);
            const size_t slash = reached.find_last_of('/');
            reached.resize(slash == 0 ? 1 : slash);
            continue;
        }
        std::string next = (reached == "/" ? "/" : reached + "/") + name;
        if (missing) {
            if (name.size() > NAME_MAX) return refused(ENAMETOOLONG);
            reached = std::move(next);
            continue;
        }
        struct ::stat st {};
        if (::lstat(next.c_str(), &st) != 0) {
            if (errno != ENOENT) return std::nullopt;
            reached = std::move(next);
            missing = true;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            // As Linux counts: at most 40 links in one resolution, however they nest.
            if (++links > 40) return refused(ELOOP);
            std::string target(static_cast<size_t>(PATH_MAX), '\0');
            const ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
            if (n < 0) return std::nullopt;
            if (n == 0) return refused(ENOENT);
            target.resize(static_cast<size_t>(n));
            if (target.front() == '/') reached.assign(1, '/');
            push(target);
            continue;
        }
        reached = std::move(next);
        folder = S_ISDIR(st.st_mode);
    }
    return reached;
}

bool exists(const fs::path& p) {
    struct ::stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

std::optional<std::chrono::system_clock::time_point> modificationDate(const fs::path& p) {
    const auto st = attributes(p);
    if (!st) return std::nullopt;
    return modificationTime(*st);
}

std::chrono::system_clock::time_point modificationTime(const struct ::stat& st) {
    using namespace std::chrono;
    using TimePoint = system_clock::time_point;
    constexpr int64_t maxSeconds = duration_cast<seconds>(TimePoint::duration::max()).count() - 1;
    constexpr int64_t minSeconds = duration_cast<seconds>(TimePoint::duration::min()).count() + 1;
    const int64_t s = st.st_mtim.tv_sec;
    if (s > maxSeconds) return TimePoint::max();
    if (s < minSeconds) return TimePoint::min();
    return TimePoint(duration_cast<TimePoint::duration>(seconds(s) + nanoseconds(st.st_mtim.tv_nsec)));
}

Reached openBelow(const fs::path& root, std::string_view relative) {
    Reached r;
    r.folder.reset(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!r.folder) {
        r.how = errno == ENOENT || errno == ENOTDIR ? Reach::missing : Reach::failed;
        r.error = errno;
        return r;
    }
    while (!relative.empty()) {
        const size_t slash = relative.find('/');
        const std::string name(relative.substr(0, slash));
        relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (name.empty() || name == ".") continue;
        const int next = ::openat(r.folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int e = errno;
            struct ::stat st {};
            const bool link = ::fstatat(r.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(st.st_mode);
            r.folder.reset();
            r.how = link || e == ELOOP ? Reach::throughLink
                    : e == ENOENT || e == ENOTDIR ? Reach::missing
                                                  : Reach::failed;
            r.error = e;
            return r;
        }
        r.folder.reset(next);
    }
    r.how = Reach::reached;
    return r;
}

Status removeAt(int parentFd, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return failure(EINVAL);
    struct ::stat parentSt {}, st {};
    if (::fstat(parentFd, &parentSt) != 0) return failure(errno);
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return failure(errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(parentFd, name.c_str(), 0) != 0) return failure(errno);
        return {};
    }
    return removeFolder(parentFd, name.c_str(), parentSt.st_dev);
}

Status removeRecursively(const fs::path& p) {
    std::string text = p.native();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    const auto slash = text.find_last_of('/');
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || text == "/") return failure(EINVAL);
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    const Descriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return failure(errno);
    return removeAt(folder.get(), name);
}

std::vector<Child> list(const fs::path& folder) { return listIfReadable(folder).value_or(std::vector<Child>()); }

std::optional<std::vector<Child>> listIfReadable(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<Child> children;
    while (const dirent* e = ::readdir(dir)) {
        if (isDots(e->d_name)) continue;
        Child child{e->d_name, {}};
        if (::fstatat(fd, e->d_name, &child.status, AT_SYMLINK_NOFOLLOW) == 0) children.push_back(std::move(child));
    }
    ::closedir(dir);
    return children;
}

bool isPackage(std::string_view folderName) {
    static const char* const kinds[] = {"app",           "appex",         "bundle",     "framework",
                                        "plugin",        "kext",          "photoslibrary", "musiclibrary",
                                        "tvlibrary",     "xcodeproj",     "xcworkspace",   "rtfd"};
    const size_t dot = folderName.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string extension(folderName.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* kind : kinds)
        if (extension == kind) return true;
    return false;
}

namespace {
// The one capped reading: at most `maxBytes` of `fd`, which it closes; absent on a
// read error.
std::optional<Start> readAtMost(int fd, std::size_t maxBytes) {
    Start start;
    struct stat st {};
    // Room for the whole at once: growing by doubling would hold up to twice the cap.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        start.bytes.reserve(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), maxBytes) + 1);
    char buf[65536];
    for (;;) {
        // One byte past the cap tells whether there is more.
        const std::size_t room = maxBytes - start.bytes.size();
        const ssize_t n = ::read(fd, buf, room < sizeof buf ? room + 1 : sizeof buf);
        if (n > 0) {
            start.bytes.append(buf, static_cast<size_t>(n));
            if (start.bytes.size() > maxBytes) {
                start.bytes.resize(maxBytes);
                start.whole = false;
                break;
            }
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return start;
}
}  // namespace

Descriptor openRegular(const fs::path& p, struct ::stat* status) {
    // Opening a fifo waits for a writer, and opening a device may act on it: only what
    // is a regular file now is opened, without waiting in case it changed meanwhile,
    // and looked at again once open.
    struct ::stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Descriptor();
    Descriptor fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Descriptor();
    if (status) *status = st;
    return fd;
}

std::optional<std::string> readFile(const fs::path& p) {
    auto start = readStart(p, std::numeric_limits<std::size_t>::max());
    if (!start) return std::nullopt;
    return std::move(start->bytes);
}

bool isExecutableFile(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode) || ::access(p.c_str(), X_OK) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

std::optional<std::string> readRegularFile(const fs::path& p, std::size_t maxBytes) {
    struct stat st {};
    Descriptor fd = openRegular(p, &st);
    if (!fd || static_cast<uint64_t>(st.st_size) > maxBytes) return std::nullopt;
    // The file may have grown since fstat: the cap holds for what is read too.
    auto start = readAtMost(fd.release(), maxBytes);
    if (!start || !start->whole) return std::nullopt;
    return std::move(start->bytes);
}

std::optional<Start> readStart(const fs::path& p, std::size_t maxBytes) {
    Descriptor fd = openRegular(p);
    if (!fd) return std::nullopt;
    return readAtMost(fd.release(), maxBytes);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

Status replaceFile(const fs::path& target, std::string_view bytes, mode_t mode) {
    std::string tmpl = (target.parent_path() / ("." + target.filename().native() + ".XXXXXX")).native();
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    int err = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(tmpl.c_str(), target.c_str()) != 0) err = errno;
    if (err == 0) return {};
    ::unlink(tmpl.c_str());
    return failure(err);
}

bool renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to) {
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: the nearest it allows.
    struct ::stat st {};
    if (::fstatat(toFolder, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromFolder, from, toFolder, to) == 0;
}

std::optional<fs::path> keepAside(const fs::path& file, const std::function<fs::path(int)>& aside, int count) {
    for (int i = 0; i < count; ++i) {
        const fs::path name = aside(i);
        // A second name for the entry itself: a link is not followed, a fifo not opened.
        if (::link(file.c_str(), name.c_str()) == 0) return name;
        if (errno == EEXIST) continue;
        // No second names here (a folder, or a file system without them): it moves.
        if (renameNoReplace(AT_FDCWD, file.c_str(), AT_FDCWD, name.c_str())) return name;
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}
}  // namespace Platform::FileOps
