#include "Core/Clean/History.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// The bound any history is read within, whatever the file holds: at most kReadBytes
// of it, and entries taking at most kHeldBytes of memory, counted as they are read
// (many short paths take far more room than their text). What the file holds past
// either is beyond the bound.
constexpr size_t kReadBytes = 4 << 20;
constexpr size_t kHeldBytes = 16 << 20;

// The room a text of `bytes` takes in the list read: the string, the vector's spare
// room while it grows, and the characters.
size_t room(size_t bytes) { return 3 * sizeof(std::string) + bytes; }
constexpr size_t kEntryRoom = 3 * sizeof(Entry);

// Decodes the entries as the parser meets them, with no tree of the document: only
// the entry being read and those kept are held. An entry that cannot be decoded is
// left out, never the whole history with it.
class Decoder : public json::json_sax_t {
public:
    std::vector<Entry> list;  // the first `limit` entries that decode
    bool intact = true;       // every element of the file decoded
    bool withinBound = true;  // read to its end without holding more than the bound

    bool null() override { return scalar(nullptr, std::nullopt); }
    bool boolean(bool) override { return scalar(nullptr, std::nullopt); }
    bool number_integer(number_integer_t v) override { return scalar(nullptr, v); }
    bool number_unsigned(number_unsigned_t v) override {
        return scalar(nullptr, v <= static_cast<uint64_t>(INT64_MAX) ? std::optional<int64_t>(v) : std::nullopt);
    }
    bool number_float(number_float_t, const string_t&) override { return scalar(nullptr, std::nullopt); }
    bool string(string_t& v) override { return scalar(&v, std::nullopt); }
    bool binary(binary_t&) override { return scalar(nullptr, std::nullopt); }
    bool key(string_t& k) override {
        if (skipping_) return true;
        static const char* const names[] = {"id", "date", "action", "count", "bytes", "paths"};
        field_ = kOther;
        for (size_t i = 0; i < kFields; ++i)
            if (k == names[i]) field_ = i;
        return true;
    }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        intact = false;
        return false;
    }

private:
    // The fields of an entry, by their order in `key`; each is missing, good or bad.
    static constexpr size_t kId = 0, kDate = 1, kAction = 2, kCount = 3, kBytes = 4, kPaths = 5, kFields = 6,
                            kOther = kFields;
    enum class Got : uint8_t { missing, good, bad };

    int depth_ = 0;     // containers open
    int skipping_ = 0;  // the depth of a container read past, whatever it holds
    size_t field_ = kOther;
    Entry entry_;
    Got got_[kFields] = {};
    size_t held_ = 0, heldBefore_ = 0;

    bool keeping() const { return list.size() < limit; }
    bool hold(size_t bytes) {
        held_ += bytes;
        if (held_ <= kHeldBytes) return true;
        withinBound = false;
        return false;
    }
    void skip() { skipping_ = depth_; }
    void set(size_t field, bool good) { got_[field] = good ? Got::good : Got::bad; }

    bool open(bool object) {
        ++depth_;
        if (skipping_) return true;
        if (depth_ == 1) {
            if (!object) return true;
            intact = false;  // not a list
            return false;
        }
        if (depth_ == 2 && object) {
            entry_ = Entry{};
            std::fill(std::begin(got_), std::end(got_), Got::missing);
            heldBefore_ = held_;
            return !keeping() || hold(kEntryRoom);
        }
        if (depth_ == 3 && field_ == kPaths && !object) {
            entry_.paths.clear();
            set(kPaths, true);
            return true;
        }
        if (depth_ == 2) intact = false;     // an element that is no entry
        else if (field_ != kOther) set(field_, false);
        skip();
        return true;
    }

    bool close() {
        if (skipping_ == depth_) skipping_ = 0;
        else if (!skipping_ && depth_ == 2) finishEntry();
        --depth_;
        return true;
    }

    bool scalar(string_t* text, std::optional<int64_t> integer) {
        if (skipping_) return true;
        if (depth_ == 1) {
            intact = false;
            return true;
        }
        if (depth_ == 3) {  // a path
            if (!text) set(kPaths, false);
            else if (keeping() && got_[kPaths] == Got::good) {
                if (!hold(room(text->size()))) return false;
                entry_.paths.push_back(std::move(*text));
            }
            return true;
        }
        if (depth_ != 2) {  // the whole document is one value
            intact = false;
            return false;
        }
        switch (field_) {
        case kId:
            set(kId, text && isUuid(*text));
            if (got_[kId] == Got::good && keeping()) {
                if (!hold(room(text->size()))) return false;
                entry_.id = std::move(*text);
            }
            break;
        case kDate: {
            const auto when = text ? parseDate(*text) : std::nullopt;
            set(kDate, when.has_value());
            if (when) entry_.date = *when;
            break;
        }
        case kAction:
            set(kAction, text != nullptr);
            if (text && keeping()) {
                if (!hold(room(text->size()))) return false;
                entry_.action = std::move(*text);
            }
            break;
        case kCount:
        case kBytes:
            set(field_, integer.has_value());
            if (integer) (field_ == kCount ? entry_.count : entry_.bytes) = *integer;
            break;
        case kPaths: set(kPaths, false); break;
        }
        return true;
    }

    void finishEntry() {
        const bool good = std::all_of(std::begin(got_), std::end(got_), [](Got g) { return g == Got::good; });
        if (!good) intact = false;
        if (good && keeping()) {
            list.push_back(std::move(entry_));
        } else {
            held_ = heldBefore_;
        }
    }
};

// Makes each run of blanks between values one space, which means the same. nlohmann's
// lexer keeps every character since the last value it began and, on an error, spells
// them all out, a line break as eight characters, twice: a long run of blanks would
// cost many times its size.
void collapseBlanks(std::string& text) {
    size_t out = 0;
    bool inString = false, escaped = false, blank = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            if (!blank) text[out++] = ' ';
            blank = true;
            continue;
        } else {
            inString = c == '"';
        }
        blank = false;
        text[out++] = c;
    }
    text.resize(out);
}

// What the file holds, as far as the bound lets it be read.
struct Stored {
    enum class State { missing, read, unreadable } state = State::missing;
    std::vector<Entry> list;
    bool intact = true;  // every byte of the file is in `list`
};

Stored load(const fs::path& file) {
    Stored stored;
    struct ::stat st;
    if (::lstat(file.c_str(), &st) != 0 && errno == ENOENT) return stored;
    auto start = Platform::FileOps::readStart(file, kReadBytes);
    if (!start) {
        // A fifo, socket, device or folder holds no history and is never opened: it is
        // set aside like a damaged file, and the history goes on in a fresh one.
        const bool regular = ::stat(file.c_str(), &st) != 0 || S_ISREG(st.st_mode);
        stored.state = regular ? Stored::State::unreadable : Stored::State::read;
        stored.intact = regular;
        return stored;
    }
    stored.state = Stored::State::read;
    collapseBlanks(start->bytes);
    Decoder decoder;
    json::sax_parse(start->bytes, &decoder);
    stored.list = std::move(decoder.list);
    stored.intact = start->whole && decoder.withinBound && decoder.intact;
    return stored;
}

// Copies of a history that could not be kept whole lie beside it under these names.
constexpr int kCopies = 100;
fs::path copyName(const fs::path& file, int i) {
    return file.string() + (i == 0 ? std::string(".bad") : ".bad." + std::to_string(i));
}

// Keeps a history that cannot be kept whole beside it under a copy's name, byte for
// byte at no cost however large, never over an earlier copy. False when it could not be kept.
bool setAside(const fs::path& file) {
    return Platform::FileOps::keepAside(file, [&file](int i) { return copyName(file, i); }, kCopies).has_value();
}

std::string quoted(const std::string& s) {
    // File names need not be UTF-8; a strict encoder would throw and lose the record.
    return json(s).dump(-1, ' ', false, json::error_handler_t::replace);
}

// The file's text, pretty-printed, newest first, within the bound it is read in: the
// older entries that would take it past are left out. The newest keeps as many of its
// paths as fit in a quarter of the bound (its count and bytes stay whole), so that one
// removal of very many files leaves room for the history before it. The room is
// counted from the quoted texts, which never decode to more.
std::string encode(const Entry& newest, const std::vector<Entry>& older) {
    std::string text = "[";
    size_t held = 0;
    const std::string_view end = "\n]\n", pathsEnd = "\n    ]\n  }";
    const auto fits = [&](size_t bytes, size_t room, size_t share = 1) {
        return text.size() + bytes + end.size() <= kReadBytes / share && held + room <= kHeldBytes / share;
    };
    for (size_t i = 0; i <= older.size() && i < limit; ++i) {
        const Entry& e = i == 0 ? newest : older[i - 1];
        const std::string action = quoted(e.action), id = quoted(e.id);
        std::string piece = std::string(i == 0 ? "\n" : ",\n") + "  {\n    \"action\": " + action +
                            ",\n    \"bytes\": " + std::to_string(e.bytes) + ",\n    \"count\": " +
                            std::to_string(e.count) + ",\n    \"date\": \"" + formatDate(e.date) +
                            "\",\n    \"id\": " + id + ",\n    \"paths\": [";
        size_t pieceRoom = kEntryRoom + room(action.size()) + room(id.size());
        size_t paths = 0;
        for (const auto& p : e.paths) {
            const std::string path = (paths == 0 ? "\n      " : ",\n      ") + quoted(p);
            // The new entry is never left out: as many of its paths as fit its share.
            if (i == 0 && !fits(piece.size() + path.size() + pathsEnd.size(), pieceRoom + room(path.size()), 4)) break;
            piece += path;
            pieceRoom += room(path.size());
            ++paths;
        }
        piece += paths ? pathsEnd : "]\n  }";
        if (i > 0 && !fits(piece.size(), pieceRoom)) break;
        text += piece;
        held += pieceRoom;
    }
    return text + std::string(end);
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
        // The history goes on in a fresh file with what could be read.
        if (!stored.intact && !setAside(file)) return;
        Platform::FileOps::replaceFile(file, encode(entry, stored.list), 0644);
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
