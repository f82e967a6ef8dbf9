#pragma once
// Shared pieces of the benchmarks: scratch trees, timing, medians.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace bench {
namespace fs = std::filesystem;

// A scratch folder under $TMPDIR (or /tmp), removed when it goes out of scope.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/quelto-bench-XXXXXX";
        if (::mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Writes `folders` folders (grouped `perGroup` to a parent) of `filesPerFolder` tiny files.
inline bool buildTree(const fs::path& root, int folders, int filesPerFolder, int perGroup = 100) {
    std::error_code ec;
    for (int d = 0; d < folders; ++d) {
        const fs::path folder =
            root / ("g" + std::to_string(d / perGroup)) / ("d" + std::to_string(d));
        fs::create_directories(folder, ec);
        if (ec) return false;
        for (int f = 0; f < filesPerFolder; ++f) {
            const std::string name = folder / ("f" + std::to_string(f) + ".txt");
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) return false;
            const std::string body = "q" + std::to_string(f);
            const bool written = ::write(fd, body.data(), body.size()) == ssize_t(body.size());
            ::close(fd);
            if (!written) return false;
        }
    }
    return true;
}

// Writes `count` files of `bytes` bytes named f0, f1 … into `folder` (created as needed).
inline bool writeFiles(const fs::path& folder, int count, size_t bytes = 16) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return false;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const std::string body(bytes, 'q');
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const std::string name = "f" + std::to_string(i);
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            ok = false;
            break;
        }
        ok = ::write(fd, body.data(), body.size()) == ssize_t(body.size());
        ::close(fd);
    }
    ::close(dir);
    return ok;
}

// Sets the modification date of the item itself (a link is not followed).
inline void setDate(const fs::path& p, std::chrono::system_clock::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    const struct timespec ts[2] = {{ns / 1000000000, ns % 1000000000}, {ns / 1000000000, ns % 1000000000}};
    ::utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

inline double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
}  // namespace bench
