#include "Sensors/Fans/SimulatedSmc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>

#include "Platform/FileOps.h"

namespace fs = std::filesystem;

namespace {
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

std::string readAll(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    off_t at = 0;
    while ((n = ::pread(fd, buf, sizeof buf, at)) > 0) {
        out.append(buf, static_cast<size_t>(n));
        at += n;
    }
    return out;
}

bool rewrite(int fd, const std::string& text) {
    return ::lseek(fd, 0, SEEK_SET) == 0 && Platform::FileOps::writeAll(fd, text) &&
           ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::optional<std::vector<uint8_t>> unhex(const std::string& text) {
    if (text.size() % 2) return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &v) != 1) return std::nullopt;
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

std::optional<SimulatedSmc::Table> parse(const std::string& text) {
    SimulatedSmc::Table table;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind, name;
        if (!(words >> kind) || kind[0] == '#') continue;
        if (!(words >> name)) return std::nullopt;
        if (kind == "key") {
            std::string type, bytes;
            size_t size = 0;
            if (!(words >> type >> size) || type.size() > 4) return std::nullopt;
            if (!(words >> bytes)) bytes.clear();
            auto raw = unhex(bytes);
            if (!raw || raw->size() != size) return std::nullopt;
            type.resize(4, ' ');
            table.keys.push_back({name, type, *raw});
        } else if (kind == "fail" || kind == "stall") {
            SimulatedSmc::Rule rule{name, {}, {}};
            if (!(words >> rule.command)) return std::nullopt;
            if (kind == "stall") {
                std::string path;
                if (!(words >> path)) return std::nullopt;
                rule.whileExists = path;
            }
            (kind == "fail" ? table.failures : table.stalls).push_back(rule);
        } else {
            return std::nullopt;
        }
    }
    return table;
}

std::string format(const SimulatedSmc::Table& table) {
    std::string out;
    for (const auto& k : table.keys) {
        std::string type = k.type;
        while (!type.empty() && type.back() == ' ') type.pop_back();
        out += "key " + k.name + " " + type + " " + std::to_string(k.bytes.size()) + " " + hex(k.bytes) + "\n";
    }
    for (const auto& r : table.failures) out += "fail " + r.key + " " + r.command + "\n";
    for (const auto& r : table.stalls) out += "stall " + r.key + " " + r.command + " " + r.whileExists.string() + "\n";
    return out;
}

const char* commandName(uint8_t command) {
    switch (command) {
        case SmcRecord::kKeyInfo: return "info";
        case SmcRecord::kReadBytes: return "read";
        case SmcRecord::kWriteBytes: return "write";
        default: return "other";
    }
}

bool matches(const SimulatedSmc::Rule& rule, const std::string& key, const char* command) {
    return rule.key == key && (rule.command == command || rule.command == "any");
}

void appendLog(const fs::path& file, const std::string& line) {
    const int fd = ::open(SimulatedSmc::logOf(file).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t n = ::write(fd, line.data(), line.size());
    (void)n;
    ::close(fd);
}
}  // namespace

SimulatedSmc::Key* SimulatedSmc::Table::find(const std::string& name) {
    for (auto& k : keys)
        if (k.name == name) return &k;
    return nullptr;
}

fs::path SimulatedSmc::logOf(const fs::path& file) { return file.string() + ".log"; }

std::optional<SimulatedSmc::Table> SimulatedSmc::load(const fs::path& file) {
    Fd f{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0 || ::flock(f.fd, LOCK_SH) != 0) return std::nullopt;
    return parse(readAll(f.fd));
}

bool SimulatedSmc::store(const fs::path& file, const Table& table) {
    Fd f{::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
    return f.fd >= 0 && ::flock(f.fd, LOCK_EX) == 0 && rewrite(f.fd, format(table));
}

bool SimulatedSmc::call(const SmcRecord& input, SmcRecord& output) {
    output = SmcRecord{};
    output.key = input.key;
    output.result = 1;
    const std::string name = Smc::text(input.key).value_or("");
    const char* command = commandName(input.command);
    const auto stallEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool toldStall = false;
    for (;;) {
        Fd f{::open(file_.c_str(), O_RDWR | O_CLOEXEC)};
        if (f.fd < 0 || ::flock(f.fd, LOCK_EX) != 0) return false;
        auto table = parse(readAll(f.fd));
        if (!table) return false;

        bool stalled = false;
        for (const auto& rule : table->stalls)
            stalled = stalled || (matches(rule, name, command) && ::access(rule.whileExists.c_str(), F_OK) == 0);
        if (stalled && std::chrono::steady_clock::now() < stallEnd) {
            if (!toldStall) appendLog(file_, std::to_string(::getpid()) + " stall " + name + "\n");
            toldStall = true;
            ::close(f.fd);
            f.fd = -1;
            ::poll(nullptr, 0, 5);
            continue;
        }

        for (const auto& rule : table->failures)
            if (matches(rule, name, command)) return true;
        Key* key = table->find(name);
        if (!key) return true;
        const auto size = static_cast<uint32_t>(key->bytes.size());
        switch (input.command) {
            case SmcRecord::kKeyInfo:
                output.dataSize = size;
                output.dataType = Smc::code(key->type);
                output.result = 0;
                break;
            case SmcRecord::kReadBytes:
                if (input.dataSize != size || size > sizeof output.bytes) break;
                std::memcpy(output.bytes, key->bytes.data(), size);
                output.dataSize = size;
                output.result = 0;
                break;
            case SmcRecord::kWriteBytes:
                if (input.dataSize != size || size > sizeof input.bytes) break;
                key->bytes.assign(input.bytes, input.bytes + size);
                if (!rewrite(f.fd, format(*table))) return false;
                appendLog(file_, std::to_string(::getpid()) + " write " + name + " " + hex(key->bytes) + "\n");
                output.result = 0;
                break;
            default: break;
        }
        return true;
    }
}
