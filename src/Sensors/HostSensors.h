#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Roots.h"

// Stateless readers of the host's condition: each call asks the kernel afresh and
// hands back plain values; a missing source gives the neutral value (empty, nil, 0).
// Safe from any thread.
namespace Sensors {

// Scheduler ticks one logical processor has spent in each state since boot.
struct CPUTicks {
    uint64_t user = 0;
    uint64_t system = 0;  // with interrupts and time stolen by the hypervisor
    uint64_t idle = 0;    // with time waiting for I/O
    uint64_t nice = 0;
    bool operator==(const CPUTicks&) const = default;
};

struct Memory {
    int64_t used = 0;   // bytes
    int64_t total = 0;  // bytes of physical memory
    int64_t swap = 0;   // bytes of swap in use
    // 0 unknown, 1 normal, 2 elevated, 4 high (readers treat below 2 as normal, 4 or more as high).
    int pressure = 0;
    bool operator==(const Memory&) const = default;
};

struct DiskSpace {
    int64_t total = 0;
    int64_t available = 0;  // what the user's files may still take
    int64_t free = 0;       // every unused block, the administrator's reserve included
    // The space in use and its share, as `df` shows them: size less every unused
    // block, as a part of what the user can have (used + available). 0 when unknown.
    int64_t used() const;
    double usedFraction() const;
    // The share in whole percent, rounded up as `df` does.
    int usedPercent() const;
    bool operator==(const DiskSpace&) const = default;
};

struct DiskIO {
    uint64_t read = 0;
    uint64_t write = 0;
    bool operator==(const DiskIO&) const = default;
};

struct NetworkBytes {
    uint64_t received = 0;
    uint64_t sent = 0;
    bool operator==(const NetworkBytes&) const = default;
};

// One entry per logical processor, in processor order; empty when unreadable.
std::vector<CPUTicks> cpuTicks(const Roots& roots = {});
// Busy fraction 0-1 over all processors between two readings; nil when the lists
// differ in length, are empty, or no tick advanced. A counter that went back
// counts as not having moved.
std::optional<double> cpuUsage(const std::vector<CPUTicks>& from, const std::vector<CPUTicks>& to);
Memory memory(const Roots& roots = {});
// The busiest graphics processor's utilisation 0-1; nil when no driver reports one.
std::optional<double> gpuUsage(const Roots& roots = {});
// No Linux driver publishes its core count, so this is always nil here.
std::optional<int> gpuCores(const Roots& roots = {});
// The processor's marketing name without "Apple "; empty when unknown. Cheap but
// not free: callers that show it keep it.
std::string chipName(const Roots& roots = {});
// Bytes read and written by the whole disks since boot (partitions, loop and
// mapped devices are left out so nothing counts twice).
DiskIO diskIO(const Roots& roots = {});
// Bytes received and sent on every interface except loopback since boot.
NetworkBytes networkBytes(const Roots& roots = {});
double loadAverage(const Roots& roots = {});
// The capacity of the volume holding `folder`; (0, 0) when it cannot be asked.
DiskSpace diskSpace(const std::filesystem::path& folder);

}  // namespace Sensors
