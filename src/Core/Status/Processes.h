#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The busiest processes, from one run of the platform's `top`, and a plain-language
// line about well-known process names.
namespace Processes {

struct Info {
    int32_t pid = 0;     // also the row's identity
    std::string name;    // as `top` prints it, blanks kept
    double cpu = 0;      // percent; 100 is one full core
    int64_t memory = 0;  // bytes
    double power = 0;    // `top`'s energy figure
    int32_t id() const { return pid; }
    bool operator==(const Info&) const = default;
};

// What a list of processes is ordered by, largest first.
enum class SortKey { cpu, memory, energy };
// Orders the rows by the key, largest first; rows with equal keys keep their order
// (a snapshot's is by CPU). A figure that is not a number sorts last.
void sortLargestFirst(std::vector<Info>& rows, SortKey key);

// The rows that lead by any sort key: the first `perKey` of them by CPU, by memory
// and by energy, in their given order.
std::vector<Info> leaders(const std::vector<Info>& rows, size_t perKey);

// How many leaders of each key a snapshot keeps: every sort of the 60 rows shows
// the 20 processes of the whole machine that lead by it.
inline constexpr size_t snapshotLeaders = 20;

// At most 60 rows drawn from every process, busiest first; empty on any failure.
// Blocks for about a second while `top` samples: call it off the main thread.
std::vector<Info> snapshot();
// The rows of the last sample in `top` output.
std::vector<Info> parse(std::string_view output);
// The localized explanation, or nothing for a name it does not know.
std::optional<std::string> explanation(const std::string& name);

}  // namespace Processes
