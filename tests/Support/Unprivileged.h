#pragma once
// CI runs as root, whom file permissions never stop. A test that needs a refusal
// starts with `if (!unprivileged::rerunAsNobody()) return;`: as root it runs the
// same test again in a child process as the user "nobody" (through setpriv) and
// checks that run; as any other user it lets the test go on. No Qt: the engine's
// test binaries use it too.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace unprivileged {
inline bool rerunAsNobody() {
    if (::geteuid() != 0) return true;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::vector<std::string> argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "",
                                     "--gtest_filter=" + std::string(info->test_suite_name()) + "." + info->name()};
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    int out[2];
    if (length <= 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "cannot start the run as nobody";
        return false;
    }
    argv[4].assign(self, static_cast<size_t>(length));
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string output;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    return false;
}
}  // namespace unprivileged
