// Stand-in for /usr/bin/osascript. It understands exactly one script:
//
//     osascript -e 'do shell script "<text>" with administrator privileges'
//
// It undoes the AppleScript string escaping (\\ \" \n \r \t), runs the text with
// `pkexec /bin/sh -c <text>` behind the system's password prompt, passes the output
// and the exit status through, and prints osascript's "User canceled. (-128)" when
// the prompt is dismissed or cannot be shown. Anything else is a syntax error.
//
// The privileged side dies with this program: a caller's time-out can end us but
// cannot signal root's processes (nor can the kernel's parent-death signal cross
// that line), so root's shell watches a pipe that only we hold open and ends the
// command's whole process group itself when the pipe closes.
//
// For tests:
//   QUELTO_OSASCRIPT_NO_ESCALATION=1  runs `/bin/sh -c <text>` directly, as the caller.
//   QUELTO_OSASCRIPT_CANCEL=1         behaves as if the prompt was dismissed: runs nothing.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Programs.h"

extern char** environ;

namespace {
constexpr std::string_view kHead = "do shell script \"";
constexpr std::string_view kTail = " with administrator privileges";

bool flag(const char* name) {
    const char* v = std::getenv(name);
    return v && std::strcmp(v, "1") == 0;
}

int syntaxError(const std::string& script, const char* message) {
    std::fprintf(stderr, "0:%zu: syntax error: %s (-2741)\n", script.size(), message);
    return 1;
}

int cancelled(const std::string& script) {
    std::fprintf(stderr, "0:%zu: execution error: User canceled. (-128)\n", script.size());
    return 1;
}

// The shell text of the one accepted form, its string escapes undone.
std::optional<std::string> shellText(const std::string& script, const char** why) {
    *why = "Expected “do shell script \"…\" with administrator privileges”.";
    if (script.compare(0, kHead.size(), kHead) != 0) return std::nullopt;
    std::string text;
    size_t i = kHead.size();
    for (;; ++i) {
        if (i >= script.size()) {
            *why = "Expected “\"” but found end of script.";
            return std::nullopt;
        }
        const char c = script[i];
        if (c == '"') break;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= script.size()) {
            *why = "Expected “\"” but found end of script.";
            return std::nullopt;
        }
        switch (script[i]) {
            case '\\': text += '\\'; break;
            case '"': text += '"'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 't': text += '\t'; break;
            default:
                *why = "Unknown escape sequence in string.";
                return std::nullopt;
        }
    }
    if (std::string_view(script).substr(i + 1) != kTail) return std::nullopt;
    return text;
}

// The private folder, removed even when a time-out's signal ends us.
char folderPath[] = "/tmp/quelto-osascript-XXXXXX";
char markerPath[sizeof folderPath + 8] = "";

void removeFolder() {
    ::rmdir(markerPath);
    ::unlink(markerPath);
    ::rmdir(folderPath);
}

void onTermination(int signal) {
    removeFolder();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Runs the program with this process's output, and `input` as its standard input
// when given; its wait status, or nothing when it could not start.
std::optional<int> run(const std::vector<std::string>& args, int input = -1) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (input >= 0) ::posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return std::nullopt;
    }
    return status;
}

// Run as root with the marker and the text, its standard input the pipe we hold.
// The command runs in a process group of its own with nothing on its input; when
// the pipe ends before the command does, the group is terminated, then killed a
// second later.
constexpr const char* kPrivilegedSide =
    "mkdir -- \"$1\" 2>/dev/null\n"
    "c=\n"
    "end() { [ -n \"$c\" ] && kill -TERM \"-$c\" 2>/dev/null; sleep 1;"
    " [ -n \"$c\" ] && kill -KILL \"-$c\" 2>/dev/null; exit 143; }\n"
    "trap end TERM\n"
    "exec 3<&0\n"  // an asynchronous command's own standard input is the null device
    "/usr/bin/setsid /bin/sh -c \"$2\" </dev/null 3<&- &\n"
    "c=$!\n"
    "/usr/bin/setsid /bin/sh -c 'cat >/dev/null; kill -TERM \"$1\"' sh $$ <&3 3<&- &\n"
    "w=$!\n"
    "wait \"$c\"\n"
    "s=$?\n"
    "kill -TERM \"-$w\" 2>/dev/null\n"
    "exit $s\n";

int exitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

int scriptFinished(const std::string& script, int code) {
    if (code == 0) return 0;
    std::fprintf(stderr, "0:%zu: execution error: The command exited with a non-zero status. (%d)\n",
                 script.size(), code);
    return code;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "-e") != 0) {
        std::fprintf(stderr, "usage: osascript -e 'do shell script \"…\" with administrator privileges'\n");
        return 1;
    }
    const std::string script = argv[2];
    const char* why = nullptr;
    const auto text = shellText(script, &why);
    if (!text) return syntaxError(script, why);

    if (flag("QUELTO_OSASCRIPT_CANCEL")) return cancelled(script);

    if (flag("QUELTO_OSASCRIPT_NO_ESCALATION")) {
        const auto status = run({"/bin/sh", "-c", *text});
        if (!status) {
            std::fprintf(stderr, "0:%zu: execution error: /bin/sh could not be started. (-10810)\n", script.size());
            return 1;
        }
        return scriptFinished(script, exitCode(*status));
    }

    // pkexec's own refusals (126 dismissed, 127 not authorized or no agent) look like
    // a script's exit status, so the escalated shell first marks that it started.
    if (!::mkdtemp(folderPath)) return cancelled(script);
    std::snprintf(markerPath, sizeof markerPath, "%s/started", folderPath);
    const std::string marker = markerPath;
    for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, onTermination);
    // mkdir never follows a link planted at the marker's name. pkexec's own terminal
    // agent is off: the caller runs us in a background process group, where reading
    // the terminal would stop us until the time-out.
    int lifeline[2];
    if (::pipe2(lifeline, O_CLOEXEC) != 0) return cancelled(script);
    const auto status = run({Platform::Programs::path(Platform::Program::pkexec), "--disable-internal-agent",
                             "/bin/sh", "-c", kPrivilegedSide, "sh", marker, *text},
                            lifeline[0]);
    ::close(lifeline[0]);
    ::close(lifeline[1]);
    struct ::stat st {};
    const bool started = ::lstat(marker.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    removeFolder();

    if (started && status) return scriptFinished(script, exitCode(*status));
    if (!status || exitCode(*status) == 126 || exitCode(*status) == 127) return cancelled(script);
    std::fprintf(stderr, "0:%zu: execution error: pkexec failed. (%d)\n", script.size(), exitCode(*status));
    return 1;
}
