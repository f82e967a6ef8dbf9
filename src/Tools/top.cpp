// Stand-in for the platform's `top` in its logging form, read from /proc:
//
//   top -l <samples> -s <delay> -n <rows> -o cpu|mem|pid -stats pid,command,cpu,mem,power
//
// Each sample prints a short summary, a "PID …" header and one row per process,
// busiest first. %CPU is measured over the delay before the sample (0.0 in the
// first, which has nothing to compare with); MEM is the resident size; POWER is
// 0.0, as Linux keeps no per-process energy figure. Control characters in a
// process name print as '?', so no name can start a line of its own, and a name
// that is empty or only blanks prints as "?", so every row has all its columns.
#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Proc {
    int pid = 0;
    std::string name;
    unsigned long long ticks = 0;  // user + system, all threads
    unsigned long long start = 0;  // start time since boot, to tell a reused pid
    long long rssPages = 0;
    long threads = 0;
    double cpu = 0;
};

bool readSmall(int dir, const char* name, std::string& out) {
    const int fd = ::openat(dir, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[4096];
    out.clear();
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) out.append(buf, size_t(n));
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(fd);
    return !out.empty();
}

// One pass over /proc/<pid>/stat.
std::vector<Proc> scan() {
    std::vector<Proc> out;
    DIR* proc = ::opendir("/proc");
    if (!proc) return out;
    std::string text;
    char path[64];
    while (const dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        std::snprintf(path, sizeof path, "%ld/stat", pid);
        if (!readSmall(::dirfd(proc), path, text)) continue;  // gone meanwhile
        // "pid (comm) state ppid …": the name may hold blanks and parentheses, so it
        // runs to the last ')'.
        const size_t open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        Proc p;
        p.pid = int(pid);
        p.name = text.substr(open + 1, close - open - 1);
        std::vector<const char*> f;  // fields from 3 (state) on
        for (char* s = text.data() + close + 1; *s;) {
            while (*s == ' ') ++s;
            if (!*s) break;
            f.push_back(s);
            while (*s && *s != ' ') ++s;
        }
        // utime 14, stime 15, num_threads 20, starttime 22, rss 24 (1-based, counting pid and comm)
        if (f.size() < 22) continue;
        p.ticks = std::strtoull(f[11], nullptr, 10) + std::strtoull(f[12], nullptr, 10);
        p.threads = std::strtol(f[17], nullptr, 10);
        p.start = std::strtoull(f[19], nullptr, 10);
        p.rssPages = std::strtoll(f[21], nullptr, 10);
        out.push_back(std::move(p));
    }
    ::closedir(proc);
    return out;
}

double monotonic() {
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

std::string printable(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if ((unsigned char)c < 0x20 || c == 0x7f) c = '?';
    // A name of blanks alone would leave its row a column short, and the row unread.
    return out.find_first_not_of(' ') == std::string::npos ? "?" : out;
}

std::string memoryText(long long bytes) {
    char buf[32];
    if (bytes < 1024) std::snprintf(buf, sizeof buf, "%lldB", bytes);
    else if (bytes / 1024 < 10000) std::snprintf(buf, sizeof buf, "%lldK", bytes / 1024);
    else if (bytes / 1048576 < 10000) std::snprintf(buf, sizeof buf, "%lldM", bytes / 1048576);
    else std::snprintf(buf, sizeof buf, "%lldG", bytes / 1073741824);
    return buf;
}

int usage(const char* why) {
    std::fprintf(stderr, "top: %s\nusage: top -l samples [-s delay] [-n rows] [-o cpu|mem|pid] [-stats pid,command,cpu,mem,power]\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 1, delay = 1, rows = -1;
    std::string order = "cpu";
    std::vector<std::string> stats = {"pid", "command", "cpu", "mem", "power"};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage(("missing value for " + a).c_str());
        const std::string v = argv[++i];
        char* end = nullptr;
        const long n = std::strtol(v.c_str(), &end, 10);
        const bool number = !v.empty() && *end == '\0';
        if (a == "-l" && number && n >= 1) samples = n;
        else if (a == "-s" && number && n >= 0) delay = n;
        else if (a == "-n" && number && n >= 0) rows = n;
        else if (a == "-o" && (v == "cpu" || v == "mem" || v == "pid")) order = v;
        else if (a == "-stats") {
            stats.clear();
            for (size_t at = 0; at <= v.size();) {
                const size_t comma = std::min(v.find(',', at), v.size());
                const std::string s = v.substr(at, comma - at);
                if (s != "pid" && s != "command" && s != "cpu" && s != "mem" && s != "power")
                    return usage(("unknown statistic " + s).c_str());
                stats.push_back(s);
                at = comma + 1;
            }
        } else return usage(("invalid argument " + a + " " + v).c_str());
    }

    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    std::unordered_map<int, std::pair<unsigned long long, unsigned long long>> before;  // pid → (start, ticks)
    double last = monotonic();
    std::string out;
    for (long sample = 0; sample < samples; ++sample) {
        if (sample > 0) {
            std::fflush(stdout);
            timespec wait{delay, 0};
            while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
        }
        const double now = monotonic();
        auto procs = scan();
        const double span = now - last;
        long threads = 0;
        std::unordered_map<int, std::pair<unsigned long long, unsigned long long>> seen;
        seen.reserve(procs.size());
        for (auto& p : procs) {
            threads += p.threads;
            seen[p.pid] = {p.start, p.ticks};
            if (sample == 0 || span <= 0) continue;
            const auto it = before.find(p.pid);
            // A process new since the last sample (or a reused pid) spent all its time inside the span.
            const unsigned long long was = it != before.end() && it->second.first == p.start ? it->second.second : 0;
            const unsigned long long used = p.ticks >= was ? p.ticks - was : 0;
            p.cpu = 100.0 * double(used) / double(ticksPerSecond) / span;
        }
        before = std::move(seen);
        last = now;
        std::stable_sort(procs.begin(), procs.end(), [&](const Proc& a, const Proc& b) {
            if (order == "cpu" && a.cpu != b.cpu) return a.cpu > b.cpu;
            if (order == "mem" && a.rssPages != b.rssPages) return a.rssPages > b.rssPages;
            return a.pid < b.pid;
        });
        if (rows >= 0 && size_t(rows) < procs.size()) procs.resize(size_t(rows));

        std::string loads = "0.00, 0.00, 0.00";
        if (FILE* f = std::fopen("/proc/loadavg", "re")) {
            double l1 = 0, l5 = 0, l15 = 0;
            if (std::fscanf(f, "%lf %lf %lf", &l1, &l5, &l15) == 3) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.2f, %.2f, %.2f", l1, l5, l15);
                loads = buf;
            }
            std::fclose(f);
        }
        char line[256];
        std::snprintf(line, sizeof line, "Processes: %zu total, %ld threads\nLoad Avg: %s\n\n", before.size(), threads,
                      loads.c_str());
        out = line;
        for (const auto& s : stats) {
            if (s == "pid") out += "PID    ";
            else if (s == "command") out += "COMMAND          ";
            else if (s == "cpu") out += "%CPU  ";
            else if (s == "mem") out += "MEM    ";
            else out += "POWER";
            out += ' ';
        }
        out.back() = '\n';
        for (const auto& p : procs) {
            for (const auto& s : stats) {
                if (s == "pid") std::snprintf(line, sizeof line, "%-7d", p.pid);
                else if (s == "command") std::snprintf(line, sizeof line, "%-16s", printable(p.name).c_str());
                else if (s == "cpu") std::snprintf(line, sizeof line, "%-5.1f", p.cpu);
                else if (s == "mem") std::snprintf(line, sizeof line, "%-6s", memoryText(p.rssPages * pageSize).c_str());
                else std::snprintf(line, sizeof line, "%.1f", 0.0);
                out += line;
                out += ' ';
            }
            out.back() = '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
