#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Platform {

// The user-defaults store: one property-list file per domain under
// $XDG_CONFIG_HOME/Quelto/. Values keep their property-list type; a getter of one
// type sees a value of another type as absent. The file is read once, on first
// use (or again through reload()), and rewritten atomically at every change. A file
// that exists but cannot be read is kept aside on the next write, never written over.
// Safe to use from any thread.
class UserDefaults {
public:
    using Date = std::chrono::system_clock::time_point;
    struct Value;
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;

    struct Value {
        std::variant<bool, int64_t, double, std::string, Date, Array, Dictionary> v;

        Value() : v(false) {}
        Value(bool b) : v(b) {}
        Value(int i) : v(int64_t{i}) {}
        Value(int64_t i) : v(i) {}
        Value(double d) : v(d) {}
        Value(std::string s) : v(std::move(s)) {}
        Value(const char* s) : v(std::string(s)) {}
        Value(Date d) : v(d) {}
        Value(Array a) : v(std::move(a)) {}
        Value(Dictionary d) : v(std::move(d)) {}
        static Value stringArray(const std::vector<std::string>& strings);

        template <class T> bool is() const { return std::holds_alternative<T>(v); }
        template <class T> const T* get() const { return std::get_if<T>(&v); }
        bool operator==(const Value& o) const { return v == o.v; }
    };

    // A store over the given file; nothing is read until first use.
    explicit UserDefaults(std::filesystem::path file);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The application's standard defaults: fileFor("Quelto"), one instance per process.
    static UserDefaults& standard();
    // $XDG_CONFIG_HOME/Quelto/<domain>.plist
    static std::filesystem::path fileFor(const std::string& domain);

    const std::filesystem::path& file() const { return file_; }

    std::optional<Value> object(const std::string& key) const;
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<int64_t> integer(const std::string& key) const;
    std::optional<double> real(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<Date> date(const std::string& key) const;
    std::optional<Array> array(const std::string& key) const;
    // Absent unless the value is an array whose every element is a string.
    std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
    std::optional<Dictionary> dictionary(const std::string& key) const;
    std::vector<std::string> keys() const;

    // Each change is written to disk at once; false when the file could not be
    // written (the value is still kept in memory for this process).
    bool set(const std::string& key, Value value);
    bool setBool(const std::string& key, bool value) { return set(key, Value(value)); }
    bool setInteger(const std::string& key, int64_t value) { return set(key, Value(value)); }
    bool setReal(const std::string& key, double value) { return set(key, Value(value)); }
    bool setString(const std::string& key, std::string value) { return set(key, Value(std::move(value))); }
    bool setDate(const std::string& key, Date value) { return set(key, Value(value)); }
    bool setStringArray(const std::string& key, const std::vector<std::string>& value) {
        return set(key, Value::stringArray(value));
    }
    bool remove(const std::string& key);

    // Reads the file again, dropping what was cached.
    void reload();

private:
    void loadLocked() const;
    bool writeLocked();

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    mutable bool loaded_ = false;
    mutable bool unreadable_ = false;  // the file exists but could not be read within the bounds or parsed
    mutable Dictionary values_;
};

}  // namespace Platform
