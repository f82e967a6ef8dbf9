#include "Core/Clean/FileSizer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int64_t allocated(const struct stat& st) { return static_cast<int64_t>(st.st_blocks) * 512; }

// fd-relative walk: thread-safe (no chdir), never follows a link, and stats only
// what is not known to be a folder from its directory entry.
int64_t walk(int dirFd) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int64_t total = 0;
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        unsigned char type = e->d_type;
        if (type == DT_LNK) continue;
        if (type != DT_DIR) {
            struct stat st;
            if (::fstatat(::dirfd(dir), n, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISLNK(st.st_mode)) continue;
            if (!S_ISDIR(st.st_mode)) {
                total += allocated(st);
                continue;
            }
        }
        const int child = ::openat(::dirfd(dir), n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) total += walk(child);
    }
    ::closedir(dir);
    return total;
}
}  // namespace

int64_t FileSizer::size(const std::filesystem::path& url) {
    struct stat st;
    if (::lstat(url.c_str(), &st) != 0) return 0;
    if (S_ISLNK(st.st_mode)) return 0;
    if (!S_ISDIR(st.st_mode)) return allocated(st);
    const int fd = ::open(url.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    return walk(fd);
}
