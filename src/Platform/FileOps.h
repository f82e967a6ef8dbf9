#pragma once
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Byte-exact file operations that never follow a symbolic link.
namespace Platform::FileOps {
struct Status {
    bool ok = true;
    std::string error;  // the platform's description when !ok
};

// lstat of the item; nothing when it is gone or unreadable.
std::optional<struct ::stat> attributes(const std::filesystem::path& p);
bool exists(const std::filesystem::path& p);  // lstat succeeds (a dangling link exists)
// The path as the kernel resolves it, links and ".." in the order they come, as far as
// it exists; a missing rest as a folder made there would be. No trailing "/". Nothing,
// with errno set, where the kernel refuses it: more than 40 links or a loop (ELOOP), more
// names after one that is no folder (ENOTDIR), ".." after a name that is not there
// (ENOENT), or any other failure on the way (EACCES …).
std::optional<std::string> resolvedAsFarAsItExists(const std::filesystem::path& p);
// Content modification date; nothing when it cannot be read.
std::optional<std::chrono::system_clock::time_point> modificationDate(const std::filesystem::path& p);
// The modification time of a status record. Times beyond what a time point can hold
// (after 2262 or before 1677) saturate, so a far-future date never wraps into the past.
std::chrono::system_clock::time_point modificationTime(const struct ::stat& st);

// An open descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int fd_;
};

// How far openBelow got.
enum class Reach {
    reached,      // the folder is open
    throughLink,  // a component is a symbolic link
    missing,      // a component is gone, or is not a folder
    failed,       // any other error (in `error`)
};
struct Reached {
    Descriptor folder;  // open for use as the folder of *at calls when reached
    Reach how = Reach::failed;
    int error = 0;
};
// Opens `root` by its path (links in it are followed: a root is trusted as given), then
// each "/"-separated component of `relative` below it without following a link, so
// nothing swapped in along the way can redirect what is done in the folder reached.
Reached openBelow(const std::filesystem::path& root, std::string_view relative);

// Deletes the entry `name` of the folder `parentFd`: a file or link itself, a folder
// with its whole tree, fd-relative with O_NOFOLLOW, so a folder swapped for a link
// mid-walk cannot redirect it. It never walks into another mounted volume.
Status removeAt(int parentFd, const std::string& name);
// The same for a path, whose folder is opened by its path.
Status removeRecursively(const std::filesystem::path& p);
// The text a removal reports when the tree changed under it (something came back or
// moved in while it was being emptied).
extern const char* const kChangedWhileRemoving;

// One entry of a folder with its status record (of the entry itself, never a link's target).
struct Child {
    std::string name;
    struct ::stat status;
};
// Every entry of the folder but "." and "..", hidden ones included, in the order the
// file system gives; an entry whose status cannot be read is left out. Empty when the
// folder cannot be read.
std::vector<Child> list(const std::filesystem::path& folder);
// The same, or nothing when the folder cannot be opened.
std::optional<std::vector<Child>> listIfReadable(const std::filesystem::path& folder);

// Whether a folder is one the file manager shows as a single item (an app, a bundle,
// a photo library …), by its name.
bool isPackage(std::string_view folderName);

// Opens a regular file for reading, never waiting: anything else that stands there (a
// fifo, socket, device or folder) is refused without being opened for reading. Links
// are followed. `status`, when given, receives the file's status record.
Descriptor openRegular(const std::filesystem::path& p, struct ::stat* status = nullptr);
// The whole content of a regular file; nothing for anything else, or when it cannot be
// opened or read.
std::optional<std::string> readFile(const std::filesystem::path& p);
// Whether `p` is a regular file this process may run; false with errno set (EACCES
// for anything else that is there).
bool isExecutableFile(const std::filesystem::path& p);
// The whole of a regular file no larger than `maxBytes`; absent for anything else
// or when it cannot be read.
std::optional<std::string> readRegularFile(const std::filesystem::path& p, std::size_t maxBytes);

// The start of a file, for a reader that bounds what any file may cost it.
struct Start {
    std::string bytes;  // at most the bytes asked for
    bool whole = true;  // nothing lies past them
};
// At most the first `maxBytes` of a regular file; nothing for anything else, or when it
// cannot be opened or read.
std::optional<Start> readStart(const std::filesystem::path& p, std::size_t maxBytes);
// Writes all of `bytes`, going on after interrupted and short writes; false with
// errno set when it fails.
bool writeAll(int fd, std::string_view bytes);
// Replaces `target` with a file of this mode holding `bytes`: written under a
// temporary name beside it, flushed to disk, then renamed over it, so a reader
// sees the old file or the whole new one, never a part.
Status replaceFile(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

// Renames the entry `from` of the folder `fromFolder` to `to` in `toFolder`, never
// replacing an entry there (false with errno EEXIST); false with errno set on failure.
bool renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to);
// Keeps `file` aside under the first free name of `aside(0)` … `aside(count - 1)`,
// never replacing anything: as a second name for it where the file system has them
// (the file stays where it is, so readers never miss it until the caller replaces
// it), otherwise by moving it. Whatever the file is, nothing of it is read or copied.
// The name it got; nothing with errno set when it could not be kept (EEXIST: no name
// was free), and the file then stays where it is.
std::optional<std::filesystem::path> keepAside(const std::filesystem::path& file,
                                               const std::function<std::filesystem::path(int)>& aside, int count);
}  // namespace Platform::FileOps
