#include "Platform/Trash.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "Platform/FileOps.h"
#include "Platform/Locations.h"

namespace fs = std::filesystem;

namespace Platform::Trash {
namespace {
const char* const kPrefix = "can't move to the Trash: ";
const char* const kNoVolumeTrash = "can't move to the Trash: it lies on another volume that has no Trash";

Result failed(const std::string& why) { return {false, why, {}}; }
Result failedErrno(int err) { return failed(kPrefix + std::string(std::strerror(err))); }

std::string withoutTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Whether `inner` is `outer` or lies inside it (both absolute, without trailing slash).
bool within(const std::string& inner, const std::string& outer) {
    if (outer == "/") return true;
    return inner.size() >= outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == '/');
}

std::optional<dev_t> deviceOf(const std::string& path) {
    struct ::stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return st.st_dev;
}

// Creates the folder (mode 0700) unless it is there. A folder of another volume's
// Trash must be a real folder of ours, never a link someone else planted.
bool makeFolder(const fs::path& p, bool strict) {
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct ::stat st {};
    if (strict) {
        if (::lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
            errno = ENOTDIR;
            return false;
        }
        return true;
    }
    if (::stat(p.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// Creates the folder and every missing folder above it.
bool makeFolders(const fs::path& p) {
    fs::path partial;
    for (const auto& part : p) {
        partial /= part;
        if (partial == p.root_path()) continue;
        if (!makeFolder(partial, false)) return false;
    }
    return true;
}

bool prepareTrash(const fs::path& trash, bool strict) {
    return makeFolder(trash, strict) && makeFolder(trash / "files", strict) && makeFolder(trash / "info", strict);
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

// The name in files/ for the k-th try: "name", "name.2", "name.3"… cut short so that
// "<name>.trashinfo" still fits a file name.
std::string candidateName(const std::string& name, int k) {
    const std::string suffix = k == 1 ? std::string() : "." + std::to_string(k);
    constexpr size_t kMax = NAME_MAX - (sizeof ".trashinfo" - 1);
    std::string base = name;
    if (base.size() + suffix.size() > kMax) {
        size_t cut = kMax - suffix.size();
        // Don't split a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return base + suffix;
}

// A folder of the Trash, opened without following a link in its last step.
FileOps::Descriptor openTrashFolder(int trashFd, const char* name) {
    return FileOps::Descriptor(::openat(trashFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// Every byte but the unreserved ones and "/" as %XX: names need not be UTF-8.
std::string percentEncoded(const std::string& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const unsigned char c : bytes) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// Writes the .trashinfo first (claiming a unique name), then moves the entry `name` of
// `folderFd` into files/, all relative to folders already open.
Result moveInto(const fs::path& trash, int folderFd, const std::string& name, const std::string& pathValue) {
    const FileOps::Descriptor trashFd(::open(trash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!trashFd) return failedErrno(errno);
    const FileOps::Descriptor files = openTrashFolder(trashFd.get(), "files");
    const FileOps::Descriptor info = openTrashFolder(trashFd.get(), "info");
    if (!files || !info) return failedErrno(errno);
    const std::string content =
        "[Trash Info]\nPath=" + percentEncoded(pathValue) + "\nDeletionDate=" + deletionDate() + "\n";
    for (int k = 1; k <= 100000; ++k) {
        const std::string candidate = candidateName(name, k);
        const std::string infoName = candidate + ".trashinfo";
        const int fd = ::openat(info.get(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return failedErrno(errno);
        }
        const bool written = FileOps::writeAll(fd, content);
        const int writeErr = errno;
        if (::close(fd) != 0 || !written) {
            ::unlinkat(info.get(), infoName.c_str(), 0);
            return failedErrno(written ? EIO : writeErr);
        }
        // Never replacing an entry another program put there meanwhile.
        if (!FileOps::renameNoReplace(folderFd, name.c_str(), files.get(), candidate.c_str())) {
            const int err = errno;
            ::unlinkat(info.get(), infoName.c_str(), 0);
            if (err == EEXIST) continue;  // a file left without its info
            if (err == EXDEV) return failed(kNoVolumeTrash);
            return failedErrno(err);
        }
        return {true, {}, trash / "files" / candidate};
    }
    return failedErrno(EEXIST);
}

// The highest folder above `folder` on the same volume: that volume's top folder.
std::string topFolder(const std::string& folder, dev_t device) {
    fs::path top = folder;
    while (top.has_relative_path()) {
        const fs::path up = top.parent_path();
        const auto d = deviceOf(up.native());
        if (!d || *d != device) break;
        top = up;
    }
    return top.native();
}

// The volume's Trash for this user: a valid shared $top/.Trash (sticky, not a link)
// holding our <uid> folder, otherwise $top/.Trash-<uid>.
std::optional<fs::path> volumeTrash(const std::string& top) {
    const std::string uid = std::to_string(::getuid());
    const fs::path shared = fs::path(top) / ".Trash";
    struct ::stat st {};
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        if (prepareTrash(shared / uid, true)) return shared / uid;
    }
    const fs::path own = fs::path(top) / (".Trash-" + uid);
    if (prepareTrash(own, true)) return own;
    return std::nullopt;
}

// Refuses to move a Trash, anything holding it, or what already lies in it.
std::optional<Result> refusedForTrash(const std::string& item, const std::string& trash) {
    if (within(trash, item) || item == trash + "/files" || item == trash + "/info")
        return failed("can't move the Trash to the Trash");
    if (within(item, trash)) return failed(std::string(kPrefix) + "it is already in the Trash");
    return std::nullopt;
}
}  // namespace

Result moveToTrash(const fs::path& item) {
    std::error_code ec;
    const fs::path absolute = item.empty() ? fs::path() : fs::absolute(item, ec);
    if (absolute.empty() || ec) return failedErrno(ENOENT);
    const std::string text = withoutTrailingSlashes(absolute.native());
    const auto slash = text.find_last_of('/');
    const std::string name = text.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return failedErrno(EINVAL);

    // The folder holding the item with links resolved; the item itself is never followed.
    char buf[PATH_MAX];
    if (!::realpath(slash == 0 ? "/" : text.substr(0, slash).c_str(), buf)) return failedErrno(errno);
    const std::string folder = buf;
    const FileOps::Descriptor folderFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd) return failedErrno(errno);
    return moveToTrash(folderFd.get(), name, folder == "/" ? "/" + name : folder + "/" + name);
}

Result moveToTrash(int folderFd, const std::string& name, const fs::path& itemPath) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return failedErrno(EINVAL);
    struct ::stat folderSt {}, st {};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return failedErrno(errno);
    if (::fstat(folderFd, &folderSt) != 0) return failedErrno(errno);
    const std::string source = withoutTrailingSlashes(itemPath.native());
    const std::string folder = fs::path(source).parent_path().native();

    const fs::path homeTrash = Locations::trash();
    // A home Trash the kernel cannot reach holds nothing, and nothing can go there.
    const auto reachable = FileOps::resolvedAsFarAsItExists(homeTrash);
    if (!reachable) return failedErrno(errno);
    const std::string& homeTrashResolved = *reachable;
    if (auto refused = refusedForTrash(source, homeTrashResolved)) return *refused;

    const dev_t folderDevice = folderSt.st_dev;
    // Where the home Trash is (or will be created): its nearest existing folder.
    fs::path existing = homeTrashResolved;
    while (!FileOps::exists(existing) && existing.has_relative_path()) existing = existing.parent_path();
    const auto homeDevice = deviceOf(existing.native());

    if (homeDevice && *homeDevice == folderDevice) {
        if (!makeFolders(homeTrash) || !prepareTrash(homeTrash, false)) return failedErrno(errno);
        return moveInto(homeTrash, folderFd, name, source);
    }

    const std::string top = topFolder(folder, folderDevice);
    const auto trash = volumeTrash(top);
    if (!trash) return failed(kNoVolumeTrash);
    if (auto refused = refusedForTrash(source, trash->native())) return *refused;
    const std::string relative = top == "/" ? source.substr(1) : source.substr(top.size() + 1);
    return moveInto(*trash, folderFd, name, relative);
}

bool removeTrashedEntry(const fs::path& entryInFiles) {
    const fs::path entry = withoutTrailingSlashes(entryInFiles.native());
    const fs::path files = entry.parent_path();
    if (entry.filename().empty() || files.filename() != "files") return false;
    const FileOps::Descriptor filesFd(::open(files.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return filesFd && removeTrashedEntry(filesFd.get(), entry.filename().native()).ok;
}

FileOps::Status removeTrashedEntry(int filesFd, const std::string& name) {
    FileOps::Status status = FileOps::removeAt(filesFd, name);
    struct ::stat st {};
    const bool gone = ::fstatat(filesFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    // The info goes only with its entry: an entry still there keeps it.
    if (gone) {
        const FileOps::Descriptor info(::openat(filesFd, "../info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (info) ::unlinkat(info.get(), (name + ".trashinfo").c_str(), 0);
        return {};
    }
    if (status.ok) status = {false, FileOps::kChangedWhileRemoving};
    return status;
}

void removeOrphanedInfo() {
    const fs::path trash = Locations::trash();
    const FileOps::Descriptor files(::open((trash / "files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const FileOps::Descriptor info(::open((trash / "info").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!info) return;
    const std::string_view suffix = ".trashinfo";
    for (const auto& child : FileOps::list(trash / "info")) {
        const std::string& name = child.name;
        if (!S_ISREG(child.status.st_mode) || name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string entry = name.substr(0, name.size() - suffix.size());
        struct ::stat st {};
        const bool gone = !files || (::fstatat(files.get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT);
        if (gone) ::unlinkat(info.get(), name.c_str(), 0);
    }
}

bool isHomeTrashEntry(const fs::path& item) {
    const fs::path entry = withoutTrailingSlashes(item.native());
    if (entry.filename().empty()) return false;
    std::error_code ec;
    const fs::path parent = fs::weakly_canonical(entry.parent_path(), ec);
    if (ec) return false;
    const fs::path files = fs::weakly_canonical(Locations::trashFiles(), ec);
    return !ec && parent == files;
}
}  // namespace Platform::Trash
