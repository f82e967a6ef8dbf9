#pragma once
// Real temporary trees, environment overrides and fake executables for the engine tests.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "Platform/FileOps.h"

namespace testtree {
namespace fs = std::filesystem;

// A fresh folder under $TMPDIR (or /tmp), symbolic links resolved, removed at the end.
// In memory, it lies on /dev/shm where that is a tmpfs: for trees of many folders.
class TempDir {
public:
    enum Place { onDisk, inMemory };
    explicit TempDir(Place place = onDisk) {
        const char* base = std::getenv("TMPDIR");
        std::string folder = base && *base ? base : "/tmp";
        struct statfs shm;
        if (place == inMemory && ::statfs("/dev/shm", &shm) == 0 && shm.f_type == TMPFS_MAGIC &&
            ::access("/dev/shm", W_OK | X_OK) == 0)
            folder = "/dev/shm";
        std::string tmpl = folder + "/quelto-test-XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = fs::canonical(tmpl);
    }
    ~TempDir() {
        // Our own removal goes to any depth; the library's stops at the open-file limit.
        if (Platform::FileOps::removeRecursively(path_).ok) return;
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& rel) const { return path_ / rel; }

private:
    fs::path path_;
};

// Sets (or, with nullopt, unsets) a variable and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        if (value) ::setenv(name_.c_str(), value->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

inline void writeFile(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + p.string());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
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

inline std::string readFile(const fs::path& p) {
    std::string out;
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return out;
}

// A shell script standing in for an external program.
inline fs::path writeScript(const fs::path& p, const std::string& body) {
    writeFile(p, "#!/bin/sh\n" + body);
    ::chmod(p.c_str(), 0755);
    return p;
}

// Sets the modification date of the item itself (a link is not followed).
inline void setDate(const fs::path& p, std::chrono::system_clock::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    const struct timespec ts[2] = {{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)},
                                   {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
    ::utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

inline int64_t allocated(const fs::path& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_blocks) * 512 : -1;
}

// A chain of folders `depth` deep under `root`, built fd-relative (its paths outgrow
// PATH_MAX). Every level holds the next level "d" between two empty leaf folders, "e"
// made before it and "l" after, so that in whichever order a file system lists them a
// walk keeps a sibling of every level waiting behind the deepest one; every 64th level
// holds a small file too.
struct DeepTree {
    int64_t fileBytes = 0;    // allocated bytes of the files
    int64_t folderBytes = 0;  // allocated bytes of the folders themselves, root included
};
inline DeepTree buildDeepTree(const fs::path& root, int depth) {
    DeepTree tree;
    fs::create_directories(root);
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + root.string());
    struct stat st;
    auto add = [&](int at, const char* name, int64_t& into) {
        if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) != 0) throw std::runtime_error("stat failed");
        into += static_cast<int64_t>(st.st_blocks) * 512;
    };
    add(fd, ".", tree.folderBytes);
    for (int level = 0; level < depth; ++level) {
        if (level % 64 == 0) {
            const int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (file < 0 || ::write(file, "x", 1) != 1) throw std::runtime_error("cannot write");
            ::close(file);
            add(fd, "f", tree.fileBytes);
        }
        for (const char* name : {"e", "d", "l"}) {
            if (::mkdirat(fd, name, 0755) != 0) throw std::runtime_error("mkdir");
            add(fd, name, tree.folderBytes);
        }
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if ((fd = next) < 0) throw std::runtime_error("cannot open a level");
    }
    ::close(fd);
    return tree;
}

// Lowers the soft limit of open files for a scope, as many desktops set it.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &old_); }
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;

private:
    rlimit old_ {};
};

// The same quoting the remover uses, for commands built in tests.
inline std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
}  // namespace testtree
