#include "Core/Clean/ScanSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include "Core/Clean/FileSizer.h"
#include "Platform/AsciiText.h"
#include "Platform/Locations.h"

namespace ScanSupport {
namespace {
DIR* openFolder(int at, const char* name) {
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* d = ::fdopendir(fd);
    if (!d) ::close(fd);
    return d;
}
}  // namespace


Clock::time_point before(Clock::time_point now, int64_t seconds) {
    using std::chrono::duration_cast;
    // Worked out in whole seconds, where the span to the earliest time fits.
    const int64_t nowS = duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const int64_t minS = duration_cast<std::chrono::seconds>(Clock::duration::min()).count();
    if (seconds >= nowS - minS - 1) return Clock::time_point::min();
    if (seconds <= 0) return now;
    return now - duration_cast<Clock::duration>(std::chrono::seconds(seconds));
}

std::filesystem::path platformFolder(const std::filesystem::path& folder, const std::filesystem::path& home) {
    const std::string f = SafetyGuard::standardized(folder.string());
    const std::string envHome = SafetyGuard::standardized(Platform::Locations::home().string());
    if (envHome != "/" && f != envHome && SafetyGuard::isInside(f, envHome)) return home / f.substr(envHome.size() + 1);
    return f;
}

std::optional<std::filesystem::path> userCaches(const std::filesystem::path& home) {
    const auto caches = Platform::Locations::userCaches();
    if (!caches) return std::nullopt;
    return platformFolder(*caches, home);
}

std::optional<std::filesystem::path> inHome(std::string_view relative, const std::filesystem::path& home) {
    for (const std::string_view caches : {"Library/Caches", ".cache"}) {
        if (!startsWith(relative, caches)) continue;
        const std::string_view rest = relative.substr(caches.size());
        if (rest.empty()) return userCaches(home);
        if (rest.front() == '/') {
            auto folder = userCaches(home);
            if (folder) *folder /= rest.substr(1);
            return folder;
        }
    }
    return home / relative;
}

std::optional<int64_t> admittedSize(const std::filesystem::path& url, const SafetyGuard& safety, int64_t minimum) {
    if (!safety.check(url).isAllowed()) return std::nullopt;
    const int64_t size = FileSizer::size(url);
    if (size < minimum) return std::nullopt;
    return size;
}

int compareVersions(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
            if (const int c = a.compare(i, ei - i, b, j, ej - j)) return c < 0 ? -1 : 1;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::string extension(const std::string& name) {
    const auto dot = name.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string lowercasedExtension(const std::string& name) { return Platform::asciiLowercased(extension(name)); }

Folder::Folder(const std::filesystem::path& path) : dir_(openFolder(AT_FDCWD, path.c_str())) {}

Folder::Folder(const Folder& parent, const char* name)
    : dir_(parent.isOpen() ? openFolder(parent.fd(), name) : nullptr) {}

Folder::~Folder() {
    if (dir_) ::closedir(dir_);
}

int Folder::fd() const { return dir_ ? ::dirfd(dir_) : -1; }

const dirent* Folder::next() {
    if (!dir_) return nullptr;
    while (const dirent* e = ::readdir(dir_)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        return e;
    }
    return nullptr;
}

std::optional<struct ::stat> Folder::status(const char* name) const {
    struct ::stat st;
    if (!dir_ || ::fstatat(fd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

std::optional<struct ::stat> Folder::status() const {
    struct ::stat st;
    if (!dir_ || ::fstat(fd(), &st) != 0) return std::nullopt;
    return st;
}

bool Folder::isFolder(const dirent* e) const {
    if (e->d_type == DT_DIR) return true;
    if (e->d_type != DT_UNKNOWN) return false;
    const auto st = status(e->d_name);
    return st && S_ISDIR(st->st_mode);
}
}  // namespace ScanSupport
