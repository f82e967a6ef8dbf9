#pragma once
// Temporary trees, environment overrides, program runs and tmpfs mounts for the platform tests.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Support/TestTree.h"

namespace platformtest {
namespace fs = std::filesystem;

using testtree::readFile;
using testtree::ScopedEnv;
using testtree::shellQuoted;
using testtree::TempDir;
using testtree::writeFile;
using testtree::writeScript;

struct Run {
    int status = -1;     // exit status, -1 when it did not exit normally
    std::string output;  // stdout and stderr together
};

// Runs a program with extra environment variables, feeding `input` to its stdin.
inline Run run(const std::vector<std::string>& argv, const std::vector<std::pair<std::string, std::string>>& env = {},
               const std::string& input = {}) {
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(in[0]);
    if (!input.empty()) {
        const ssize_t written = ::write(in[1], input.data(), input.size());
        (void)written;
    }
    ::close(in[1]);
    Run r;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Moves this test process (and what it starts) into a mount namespace of its own,
// so that nothing it mounts is seen by, or left behind on, the machine. Needs root.
// Only the calling thread and threads started later move: a binary whose tests start
// threads calls it first thing in main.
inline bool privateMountNamespace() {
    static const bool done = ::unshare(CLONE_NEWNS) == 0 &&
                             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return done;
}

// A tmpfs mounted at a folder for the test's life; unmounting drops even a tree far
// too deep to remove quickly at once. `kernel` mounts a kernel file system of that
// type ("sysfs" …) in its place.
class TmpfsMount {
public:
    explicit TmpfsMount(const fs::path& at, const std::string& size = "16m") : at_(at) {
        privateMountNamespace();
        fs::create_directories(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, ("size=" + size + ",mode=0755").c_str()) == 0;
    }
    struct Kernel {
        const char* type;
    };
    TmpfsMount(const fs::path& at, Kernel kernel) : at_(at) {
        privateMountNamespace();
        fs::create_directories(at_);
        mounted_ = ::mount(kernel.type, at_.c_str(), kernel.type, MS_RDONLY, nullptr) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return mounted_; }
    bool makeReadOnly() const {
        return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path at_;
    bool mounted_ = false;
};
}  // namespace platformtest
