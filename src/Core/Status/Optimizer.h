#pragma once
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The fourteen maintenance tasks of the Optimize tab, and the two runners that
// carry them out as shell commands: one task through zsh, or several that need the
// administrator together in one script behind a single password prompt.
// Synchronous and stateless: call the runners from a worker.
namespace Optimizer {
struct Action {
    std::string id;      // stable key: the selection's and the done-marker lines'
    std::string title;   // localized
    std::string detail;  // localized, one line
    std::string command; // shell text
    bool needsAdmin = false;
    // A path that must exist (or a program that must be executable) for the task
    // to be offered; none for no precondition.
    std::optional<std::string> requires_;
    bool selectedByDefault = false;
    // The user's folders the command changes: what was measured there before it ran
    // is out of date after.
    std::vector<std::filesystem::path> changes = {};
    bool operator==(const Action&) const = default;
};

struct Outcome {
    Action action;
    bool ok = false;
    std::string output;  // what the command printed, or why it failed
    bool operator==(const Outcome&) const = default;
};

// The tasks in their fixed order, with this platform's commands, for the user
// whose home folder and real user id are given. Program paths are read now.
std::vector<Action> table(const std::filesystem::path& home, uid_t uid);
// The table for the running user, built once on first use.
const std::vector<Action>& actions();

// Whether this machine offers the task: it has no precondition, or its path exists.
bool isOffered(const Action& action);

inline constexpr double runTimeLimit = 300;
inline constexpr double batchTimeLimit = 900;

// The most a task's output keeps: its end, where the verdict is.
inline constexpr size_t outputLimit = 1 << 20;

// Runs one task: through `zsh -lc`, or the administrator prompt when it needs it.
// The output comes back untrimmed but for the limit; a run the time-out ended
// fails and says so.
Outcome run(const Action& action, double timeLimit = runTimeLimit);

// Runs every task in one administrator script under one password prompt and
// returns an outcome per task, in the given order. Each command runs in a shell of
// its own, so however it ends (an `exit`, an `exec`, a signal to its shell) it ends
// only itself, and what it prints is its own outcome's output, trimmed. A task
// that never reported (the prompt was dismissed, the time-out came, the script
// died) fails with the reason: "Password prompt cancelled" for a dismissed prompt,
// the time-out's text, else what the prompt and the script printed themselves.
// An empty list starts nothing.
std::vector<Outcome> runAsAdmin(const std::vector<Action>& actions, double timeLimit = batchTimeLimit);

// The batch's shell script. Each task reports in a frame of its own: a line with
// the run's `nonce`, the task's index and its exit status, then its output as hex
// bytes, then a closing line; a command's output can never read as a frame.
std::string batchScript(const std::vector<Action>& actions, const std::string& nonce);

// What the batch printed: each task's outcome, or none where its frame is missing
// or cut short, and the text outside every frame.
struct BatchReport {
    std::vector<std::optional<Outcome>> outcomes;  // by index into the tasks
    std::string rest;
};
BatchReport readBatch(const std::vector<Action>& actions, const std::string& nonce, const std::string& output);

// The text cut to its last `limit` bytes at a line start, after a "…" line.
std::string keptTail(std::string text, size_t limit = outputLimit);
}  // namespace Optimizer
