#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/mount.h>

#include "Platform/FileOps.h"
#include "Platform/Programs.h"
#include "PlatformTestSupport.h"

namespace fs = std::filesystem;
using platformtest::readFile;
using platformtest::shellQuoted;
using platformtest::TempDir;
using platformtest::writeFile;

namespace {
const std::string kTool = QUELTO_BIN_DIR "/osascript";
using Env = std::vector<std::pair<std::string, std::string>>;
const Env kNoEscalation = {{"QUELTO_OSASCRIPT_NO_ESCALATION", "1"}};

// The remover's two steps: single-quote the path for the shell (shellQuoted), then
// escape the script for an AppleScript string.
std::string appleScriptEscaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}
std::string adminLine(const std::string& escaped) {
    return "do shell script \"" + escaped + "\" with administrator privileges";
}

platformtest::Run osascript(const std::string& shellScript, const Env& env = kNoEscalation) {
    return platformtest::run({kTool, "-e", adminLine(appleScriptEscaped(shellScript))}, env);
}
}  // namespace

TEST(Osascript, AwkwardPathsReachTheShellIntact) {
    TempDir t;
    const fs::path a = t / "it's a \"quoted\" back\\slash";
    const fs::path b = t / "plain $HOME `x` ; name";
    writeFile(a / "inside", "x");
    writeFile(b, "y");
    const std::string script = "status=0; /bin/rm -rf -- " + shellQuoted(a) + " || status=1; /bin/rm -rf -- " +
                               shellQuoted(b) + " || status=1; exit $status";
    const auto r = osascript(script);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(Platform::FileOps::exists(a));
    EXPECT_FALSE(Platform::FileOps::exists(b));

    const auto echoed = osascript("printf '%s' " + shellQuoted(a));
    EXPECT_EQ(echoed.output, a.native());
}

TEST(Osascript, AppleScriptEscapesAreUndone) {
    struct Case {
        const char* literal;  // as written between the quotes of the AppleScript string
        const char* output;
    };
    const Case cases[] = {
        {R"(printf '%s' 'a\\b')", R"(a\b)"},
        {R"(printf '%s' \"dq\")", "dq"},
        {R"(printf '%s' '\"')", "\""},
        {R"(printf 'x\ty')", "x\ty"},
        {R"(printf one\necho two)", "onetwo\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.literal);
        const auto r = platformtest::run({kTool, "-e", adminLine(c.literal)}, kNoEscalation);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output, c.output);
    }
}

TEST(Osascript, ExitStatusAndOutputPassThrough) {
    struct Case {
        const char* script;
        int status;
        const char* output;  // contained in the output
    };
    const Case cases[] = {
        {"exit 0", 0, ""},
        {"echo out; echo err >&2; exit 1", 1, "out\nerr\n"},
        {"exit 3", 3, "(3)"},
        {"no-such-command-quelto", 127, "no-such-command-quelto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const auto r = osascript(c.script);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.output.find(c.output), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("-128"), std::string::npos) << "a failed script is no cancelled prompt";
    }
}

TEST(Osascript, ACancelledPromptRunsNothing) {
    TempDir t;
    const auto r = osascript("touch " + shellQuoted(t / "ran"), {{"QUELTO_OSASCRIPT_CANCEL", "1"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("execution error: User canceled. (-128)"), std::string::npos) << r.output;
    EXPECT_FALSE(Platform::FileOps::exists(t / "ran"));
}

TEST(Osascript, AcceptsOnlyTheOneForm) {
    TempDir t;
    const std::string touch = "touch " + appleScriptEscaped(shellQuoted(t / "ran"));
    const std::vector<std::vector<std::string>> rejected = {
        {},
        {"-e"},
        {"-l", adminLine(touch)},
        {"-e", adminLine(touch), "extra"},
        {"-e", adminLine(touch), "-e", "return 1"},
        {"-e", "do shell script \"" + touch + "\""},
        {"-e", "do shell script \"" + touch + "\" with administrator privileges and more"},
        {"-e", " do shell script \"" + touch + "\" with administrator privileges"},
        {"-e", "display dialog \"" + touch + "\""},
        {"-e", "do shell script \"" + touch + " with administrator privileges"},
        {"-e", "do shell script \"" + touch + "\\q\" with administrator privileges"},
        {"-e", "do shell script \"" + touch + "\\"},
    };
    for (const auto& args : rejected) {
        std::vector<std::string> argv = {kTool};
        argv.insert(argv.end(), args.begin(), args.end());
        SCOPED_TRACE(args.empty() ? "no arguments" : args.back());
        const auto r = platformtest::run(argv, kNoEscalation);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.output.find("syntax error") != std::string::npos || r.output.find("usage") != std::string::npos)
            << r.output;
    }
    EXPECT_FALSE(Platform::FileOps::exists(t / "ran"));
}

TEST(Osascript, TellsARefusedPromptFromAFailedScript) {
    // A fake pkexec in place of the real one, seen only inside this test's own mount namespace.
    const std::string pkexec = Platform::Programs::path(Platform::Program::pkexec);
    if (::access(pkexec.c_str(), F_OK) != 0 || !platformtest::privateMountNamespace())
        GTEST_SKIP() << "needs root and " << pkexec;
    TempDir t;
    struct Case {
        const char* name;
        const char* pkexecBody;
        const char* script;
        int status;
        bool cancelled, ran;
    };
    // What a real pkexec does once the user authenticated; the terminal agent must be off.
    const char* authorized = "[ \"$1\" = --disable-internal-agent ] || exit 99; shift; exec \"$@\"";
    const Case cases[] = {
        {"prompt dismissed", "exit 126", "touch ran", 1, true, false},
        {"not authorized", "echo 'Error executing command as another user: Not authorized' >&2; exit 127",
         "touch ran", 1, true, false},
        {"authorized, script fine", authorized, "touch ran", 0, false, true},
        {"authorized, script says 127", authorized, "touch ran; exit 127", 127, false, true},
        {"authorized, script says 126", authorized, "touch ran; exit 126", 126, false, true},
        {"pkexec itself broken", "echo 'pkexec must be setuid root' >&2; exit 1", "touch ran", 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path fake = t / "pkexec";
        writeFile(fake, std::string("#!/bin/sh\n") + c.pkexecBody + "\n");
        ::chmod(fake.c_str(), 0755);
        ASSERT_EQ(::mount(fake.c_str(), pkexec.c_str(), nullptr, MS_BIND, nullptr), 0);
        const auto r = platformtest::run({"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" -e \"$3\"", "sh", t.path(),
                                          kTool, adminLine(appleScriptEscaped(c.script))});
        ::umount2(pkexec.c_str(), MNT_DETACH);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_EQ(r.output.find("(-128)") != std::string::npos, c.cancelled) << r.output;
        EXPECT_EQ(Platform::FileOps::exists(t / "ran"), c.ran);
        fs::remove(t / "ran");
    }
}

TEST(Osascript, ATimeOutThatEndsItEndsThePrivilegedCommandToo) {
    // A real privilege boundary: the caller is nobody, the "escalated" side root, so
    // the caller's time-out cannot signal the command itself. The fake pkexec becomes
    // root through a set-user-id copy of setpriv.
    const std::string pkexec = Platform::Programs::path(Platform::Program::pkexec);
    if (::access(pkexec.c_str(), F_OK) != 0 || !platformtest::privateMountNamespace())
        GTEST_SKIP() << "needs root and " << pkexec;
    // A /tmp of the test's own (set-user-id programs run from it) shows what the stand-in
    // leaves there; the stand-in is read first, as the build may lie under /tmp.
    const std::string standInImage = readFile(kTool);
    ASSERT_FALSE(standInImage.empty());
    const platformtest::TmpfsMount ownTmp("/tmp");
    ASSERT_TRUE(ownTmp.mounted());
    ::chmod("/tmp", 01777);
    TempDir t;
    ::chmod(t.path().c_str(), 0755);
    const fs::path becomeRoot = t / "become-root";
    fs::copy_file("/usr/bin/setpriv", becomeRoot);
    ASSERT_EQ(::chmod(becomeRoot.c_str(), 04755), 0);
    const fs::path fake = platformtest::writeScript(
        t / "pkexec", "[ \"$1\" = --disable-internal-agent ] || exit 99; shift\nexec " + becomeRoot.string() +
                          " --reuid=0 --regid=0 --clear-groups -- \"$@\"\n");
    ASSERT_EQ(::mount(fake.c_str(), pkexec.c_str(), nullptr, MS_BIND, nullptr), 0);

    // A copy nobody can reach wherever the build lies.
    const fs::path tool = t / "osascript";
    writeFile(tool, standInImage);
    ::chmod(tool.c_str(), 0755);
    const fs::path pidFile = t / "pid";
    const std::string script = "echo $$ > " + shellQuoted(pidFile) + "; exec sleep 60 >/dev/null 2>&1";
    const std::string line = adminLine(appleScriptEscaped(script));
    const pid_t standIn = ::fork();
    if (standIn == 0) {
        const char* argv[] = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                              tool.c_str(),        "-e",            line.c_str(),      nullptr};
        ::execv(argv[0], const_cast<char**>(argv));
        ::_exit(127);
    }
    // Polls every 10 ms for up to 30 s.
    const auto eventually = [](const auto& done) {
        for (int i = 0; i < 3000 && !done(); ++i) ::usleep(10000);
        return done();
    };
    const bool ran = eventually([&] { return !readFile(pidFile).empty(); });
    // The caller's time-out, once the command runs, reaches the stand-in alone.
    ::kill(standIn, SIGTERM);
    ::waitpid(standIn, nullptr, 0);
    ::umount2(pkexec.c_str(), MNT_DETACH);
    ASSERT_TRUE(ran) << "the command never ran";
    const pid_t command = std::atoi(readFile(pidFile).c_str());
    const auto alive = [command] {
        const auto stat = readFile("/proc/" + std::to_string(command) + "/stat");
        return !stat.empty() && stat.find(") Z") == std::string::npos;
    };
    const bool survived = !eventually([&] { return !alive(); });
    if (survived) ::kill(command, SIGKILL);
    EXPECT_FALSE(survived) << "root's command outlived the stand-in";
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator("/tmp"))
        if (e.path() != t.path()) left.push_back(e.path());
    EXPECT_EQ(left, std::vector<fs::path>{}) << "the stand-in's own folder outlived it";
}
