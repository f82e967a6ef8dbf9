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

// Runs one task: through `zsh -lc`, or the administrator prompt when it needs it.
// The output comes back untrimmed; a run the time-out ended fails and says so.
Outcome run(const Action& action, double timeLimit = runTimeLimit);

// Runs every task in one administrator script under one password prompt and
// returns an outcome per task that reported, in the order they reported. A task
// whose report is missing has no outcome. When the script fails as a whole every
// task fails with one message: "Password prompt cancelled" for a dismissed prompt,
// a time-out's own text, else the output. An empty list starts nothing.
std::vector<Outcome> runAsAdmin(const std::vector<Action>& actions, double timeLimit = batchTimeLimit);

// The line each task of the batch ends with: the marker, its id, its exit status.
inline constexpr const char* doneMarker = "__QUELTO_DONE__";
// The batch's shell script: each command with its errors folded into its output,
// then its done-marker line, on a line of its own.
std::string batchScript(const std::vector<Action>& actions);
// The outcomes that a successful batch's output reports.
std::vector<Outcome> reportedOutcomes(const std::vector<Action>& actions, const std::string& output);
}  // namespace Optimizer
