#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Fans/SmcConnection.h"

// A controller kept in a text file, for tests: the key table, refusals and stalls
// to inject, shared by every process that opens the file and locked per call.
// Every accepted write is appended to the log beside it ("<file>.log") as
// "<pid> write <key> <hex bytes>"; a stall as "<pid> stall <key>".
//
//   key F0Ac fpe2 2 1770      a key: name, type (blanks at its end left out), size, bytes in hex
//   fail F1Tg write           refuse that command (info, read, write or any) for the key
//   stall F0Tg write <path>   hold that command until <path> no longer exists
class SimulatedSmc : public SmcConnection {
public:
    struct Key {
        std::string name;
        std::string type;  // four characters
        std::vector<uint8_t> bytes;
        bool operator==(const Key&) const = default;
    };
    struct Rule {
        std::string key;
        std::string command;            // "info", "read", "write" or "any"
        std::filesystem::path whileExists;  // stalls only
    };
    struct Table {
        std::vector<Key> keys;
        std::vector<Rule> failures;
        std::vector<Rule> stalls;
        Key* find(const std::string& name);
    };

    explicit SimulatedSmc(std::filesystem::path file) : file_(std::move(file)) {}
    bool call(const SmcRecord& input, SmcRecord& output) override;

    static std::optional<Table> load(const std::filesystem::path& file);
    static bool store(const std::filesystem::path& file, const Table& table);
    static std::filesystem::path logOf(const std::filesystem::path& file);

private:
    std::filesystem::path file_;
};
