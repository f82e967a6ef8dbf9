#include "Core/Clean/History.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <random>
#include <nlohmann/json.hpp>

#include "Platform/FileOps.h"
#include "Platform/Locations.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace History {
namespace {
// Two runs finishing together must not each write a list that lacks the other's
// entry: one lock inside the process, an flock on the folder across processes.
std::mutex& fileLock() {
    static std::mutex m;
    return m;
}

class FolderLock {
public:
    explicit FolderLock(const fs::path& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

std::string formatDate(std::chrono::system_clock::time_point t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(t));
    std::tm tm{};
    ::gmtime_r(&secs, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

bool digits(const std::string& s, size_t at, size_t n, int& out) {
    if (at + n > s.size()) return false;
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    return true;
}

// An internet date-time: 2026-12-09T05:12:52Z, or with a ±hh:mm offset.
std::optional<std::chrono::system_clock::time_point> parseDate(const std::string& s) {
    std::tm tm{};
    int y, mo, d, h, mi, sec;
    if (s.size() < 20 || !digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' ||
        !digits(s, 8, 2, d) || s[10] != 'T' || !digits(s, 11, 2, h) || s[13] != ':' ||
        !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, sec))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60) return std::nullopt;
    long offset = 0;
    const std::string zone = s.substr(19);
    if (zone != "Z") {
        int oh, om;
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || !digits(zone, 1, 2, oh) ||
            zone[3] != ':' || !digits(zone, 4, 2, om))
            return std::nullopt;
        offset = (oh * 3600L + om * 60L) * (zone[0] == '-' ? -1 : 1);
    }
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = sec;
    const std::time_t t = ::timegm(&tm);
    return std::chrono::system_clock::from_time_t(t - offset);
}

bool isUuid(const std::string& s) {
    if (s.size() != 36) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (s[i] == '-')) return false;
        if (!dash && !std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    }
    return true;
}

std::optional<int64_t> integer(const json& v) {
    if (v.is_number_integer() && !v.is_number_unsigned()) return v.get<int64_t>();
    if (v.is_number_unsigned() && v.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX))
        return static_cast<int64_t>(v.get<uint64_t>());
    return std::nullopt;
}

std::optional<Entry> decodeEntry(const json& o) {
    if (!o.is_object()) return std::nullopt;
    const auto id = o.find("id"), date = o.find("date"), action = o.find("action"), count = o.find("count"),
               bytes = o.find("bytes"), paths = o.find("paths");
    if (id == o.end() || date == o.end() || action == o.end() || count == o.end() || bytes == o.end() ||
        paths == o.end())
        return std::nullopt;
    if (!id->is_string() || !isUuid(id->get<std::string>())) return std::nullopt;
    if (!date->is_string() || !action->is_string() || !paths->is_array()) return std::nullopt;
    const auto when = parseDate(date->get<std::string>());
    const auto c = integer(*count), b = integer(*bytes);
    if (!when || !c || !b) return std::nullopt;
    Entry e;
    e.id = id->get<std::string>();
    e.date = *when;
    e.action = action->get<std::string>();
    e.count = *c;
    e.bytes = *b;
    for (const auto& p : *paths) {
        if (!p.is_string()) return std::nullopt;
        e.paths.push_back(p.get<std::string>());
    }
    return e;
}

// What the file holds. An entry that cannot be decoded is left out, never the
// whole history with it.
struct Stored {
    enum class State { missing, read, unreadable } state = State::missing;
    std::vector<Entry> list;
    bool intact = true;  // every byte of the file is in `list`
    std::string text;
};

Stored load(const fs::path& file) {
    Stored stored;
    struct ::stat st;
    if (::lstat(file.c_str(), &st) != 0 && errno == ENOENT) return stored;
    auto text = Platform::FileOps::readFile(file);
    if (!text) {
        stored.state = Stored::State::unreadable;
        return stored;
    }
    stored.state = Stored::State::read;
    const json doc = json::parse(*text, nullptr, false);
    if (doc.is_discarded() || !doc.is_array()) {
        stored.intact = false;
    } else {
        stored.list.reserve(doc.size());
        for (const auto& o : doc) {
            if (auto e = decodeEntry(o)) stored.list.push_back(std::move(*e));
            else stored.intact = false;
        }
    }
    stored.text = std::move(*text);
    return stored;
}

// Copies of a history that could not be kept whole lie beside it under these names.
constexpr int kCopies = 100;
fs::path copyName(const fs::path& file, int i) {
    return file.string() + (i == 0 ? std::string(".bad") : ".bad." + std::to_string(i));
}

// A copy of a history that cannot be kept whole, beside it under a name of its
// own; false when none could be written.
bool keepCopy(const fs::path& file, const std::string& text) {
    for (int i = 0; i < kCopies; ++i) {
        const fs::path copy = copyName(file, i);
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        const bool written = Platform::FileOps::writeAll(fd, text) && ::fsync(fd) == 0;
        ::close(fd);
        if (written) return true;
        ::unlink(copy.c_str());
        return false;
    }
    return false;
}

std::string encode(const std::vector<Entry>& list) {
    json doc = json::array();
    for (const auto& e : list)
        doc.push_back({{"id", e.id},
                       {"date", formatDate(e.date)},
                       {"action", e.action},
                       {"count", e.count},
                       {"bytes", e.bytes},
                       {"paths", e.paths}});
    // File names need not be UTF-8; a strict encoder would throw and lose the record.
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace

fs::path fileURL() { return Platform::Locations::applicationSupport() / "Quelto" / "history.json"; }

void record(const Entry& entry) {
    try {
        const fs::path file = fileURL();
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        std::lock_guard guard(fileLock());
        FolderLock folderLock(file.parent_path());
        Stored stored = load(file);
        // A file that could not be read may hold entries: it is never replaced.
        if (stored.state == Stored::State::unreadable) return;
        if (!stored.intact && !keepCopy(file, stored.text)) return;
        std::vector<Entry> list = std::move(stored.list);
        list.insert(list.begin(), entry);
        if (list.size() > limit) list.resize(limit);
        Platform::FileOps::replaceFile(file, encode(list), 0644);
    } catch (...) {
        // Recording is best effort; a failure leaves the old file in place.
    }
}

void clear() {
    try {
        const fs::path file = fileURL();
        // Recording's own locks: a record in any process that read the file before
        // the clear must not write its entries back after it.
        std::lock_guard guard(fileLock());
        FolderLock folderLock(file.parent_path());
        ::unlink(file.c_str());
        // The copies kept of undecodable files hold history too.
        for (int i = 0; i < kCopies; ++i) ::unlink(copyName(file, i).c_str());
    } catch (...) {
    }
}

std::vector<Entry> entries() {
    try {
        return load(fileURL()).list;
    } catch (...) {
        return {};
    }
}

std::string newIdentifier() {
    unsigned char b[16];
    size_t got = 0;
    while (got < sizeof b) {
        const ssize_t n = ::getrandom(b + got, sizeof b - got, 0);
        if (n > 0) got += static_cast<size_t>(n);
        else if (errno != EINTR) break;
    }
    if (got < sizeof b) {
        std::random_device device;
        for (auto& byte : b) byte = static_cast<unsigned char>(device());
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char out[37];
    std::snprintf(out, sizeof out,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                  b[15]);
    return out;
}
}  // namespace History
