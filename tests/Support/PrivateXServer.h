#pragma once
// A private X server (Xvfb) on a display nobody else uses, for as long as the
// object lives.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace qttest {
class PrivateXServer {
public:
    PrivateXServer() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        // The server writes the display number it chose to descriptor 9.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 9);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"Xvfb", "-displayfd", "9", "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr};
        const bool started = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (!started) pid_ = -1;
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (started && ::poll(&p, 1, 20000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~PrivateXServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status;
        ::waitpid(pid_, &status, 0);
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
}  // namespace qttest
