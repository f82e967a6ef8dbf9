#include "Platform/UserDefaults.h"

#include "Platform/Clock.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/PropertyList.h"

#include <plist/plist.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace Platform {
namespace {
using Value = UserDefaults::Value;
using Array = UserDefaults::Array;
using Dictionary = UserDefaults::Dictionary;
using Date = UserDefaults::Date;

// Unreadable files kept aside: Quelto.plist.unreadable, then .unreadable-1 … -99.
constexpr int kAsideNames = 100;

// Property-list dates count seconds from the reference date (1 January 2001, UTC).
constexpr int64_t kReferenceDateOffset = static_cast<int64_t>(referenceDateUnixSeconds);

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

plist_t toPlist(const Value& value) {
    struct Visitor {
        plist_t operator()(bool b) const { return plist_new_bool(b ? 1 : 0); }
        plist_t operator()(int64_t i) const { return plist_new_uint(static_cast<uint64_t>(i)); }
        plist_t operator()(double d) const { return plist_new_real(d); }
        plist_t operator()(const std::string& s) const { return plist_new_string(s.c_str()); }
        plist_t operator()(const Date& d) const {
            using namespace std::chrono;
            const auto us = duration_cast<microseconds>(d.time_since_epoch()).count() -
                            kReferenceDateOffset * 1000000;
            int64_t sec = us / 1000000;
            int64_t usec = us % 1000000;
            if (usec < 0) {
                usec += 1000000;
                sec -= 1;
            }
            // The file format of this library stores seconds in 32 bits (years 1933...2069).
            constexpr int64_t lo = std::numeric_limits<int32_t>::min();
            constexpr int64_t hi = std::numeric_limits<int32_t>::max();
            if (sec < lo) sec = lo, usec = 0;
            if (sec > hi) sec = hi, usec = 0;
            return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(usec));
        }
        plist_t operator()(const Array& a) const {
            plist_t arr = plist_new_array();
            for (const auto& v : a) plist_array_append_item(arr, toPlist(v));
            return arr;
        }
        plist_t operator()(const Dictionary& d) const {
            plist_t dict = plist_new_dict();
            for (const auto& [k, v] : d) plist_dict_set_item(dict, k.c_str(), toPlist(v));
            return dict;
        }
    };
    return std::visit(Visitor{}, value.v);
}
}  // namespace

Value Value::stringArray(const std::vector<std::string>& strings) {
    Array a;
    a.reserve(strings.size());
    for (const auto& s : strings) a.emplace_back(s);
    return Value(std::move(a));
}

UserDefaults::UserDefaults(fs::path file) : file_(std::move(file)) {}

UserDefaults& UserDefaults::standard() {
    static UserDefaults* instance = new UserDefaults(fileFor("Quelto"));
    return *instance;
}

fs::path UserDefaults::fileFor(const std::string& domain) {
    return Locations::configHome() / "Quelto" / (domain + ".plist");
}

void UserDefaults::loadLocked() const {
    if (loaded_) return;
    loaded_ = true;
    unreadable_ = false;
    values_.clear();

    std::error_code ec;
    if (!fs::exists(file_, ec)) return;
    // Past the bounds every property list keeps, it is as unreadable as a broken one.
    const auto bytes = PropertyList::readFile(file_);
    if (!bytes) {
        unreadable_ = true;
        return;
    }
    if (bytes->empty()) return;
    const auto root = PropertyList::parse(*bytes);
    const auto* dict = root ? root->get<Dictionary>() : nullptr;
    if (!dict) {
        unreadable_ = true;
        return;
    }
    values_ = *dict;
}

bool UserDefaults::writeLocked() {
    std::error_code ec;
    // A settings file kept elsewhere through a symbolic link stays there.
    fs::path target = file_;
    if (fs::is_symlink(file_, ec)) {
        if (auto resolved = fs::weakly_canonical(file_, ec); !ec) target = resolved;
    }
    const fs::path dir = target.parent_path();
    if (!dir.empty()) {
        fs::create_directories(dir, ec);
        if (ec) return false;
    }
    // A file we could not read may still matter to its owner: keep it aside instead
    // of writing over it. With every name taken it stays, and the settings of this
    // run are not written: a kept file is never lost to them.
    if (unreadable_) {
        const auto aside = [&target](int n) {
            fs::path name = target;
            name += n == 0 ? std::string(".unreadable") : ".unreadable-" + std::to_string(n);
            return name;
        };
        if (!FileOps::keepAside(target, aside, kAsideNames) && errno != ENOENT) return false;
        unreadable_ = false;
    }

    PlistPtr root(toPlist(Value(values_)));
    // Binary, as the platform writes its defaults: dates keep their fraction of a
    // second there, while the XML form rounds them to whole seconds.
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes) return false;
    std::unique_ptr<char, void (*)(char*)> bytesOwner(bytes, plist_to_bin_free);

    return FileOps::replaceFile(target, std::string_view(bytes, length), 0600).ok;
}

std::optional<Value> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(mutex_);
    loadLocked();
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

namespace {
template <class T>
std::optional<T> typed(const std::optional<Value>& v) {
    if (!v) return std::nullopt;
    if (auto p = v->get<T>()) return *p;
    return std::nullopt;
}
}  // namespace

std::optional<bool> UserDefaults::boolean(const std::string& key) const { return typed<bool>(object(key)); }
std::optional<int64_t> UserDefaults::integer(const std::string& key) const { return typed<int64_t>(object(key)); }
std::optional<double> UserDefaults::real(const std::string& key) const { return typed<double>(object(key)); }
std::optional<std::string> UserDefaults::string(const std::string& key) const {
    return typed<std::string>(object(key));
}
std::optional<Date> UserDefaults::date(const std::string& key) const { return typed<Date>(object(key)); }
std::optional<Array> UserDefaults::array(const std::string& key) const { return typed<Array>(object(key)); }
std::optional<Dictionary> UserDefaults::dictionary(const std::string& key) const {
    return typed<Dictionary>(object(key));
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(const std::string& key) const {
    auto arr = array(key);
    if (!arr) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(arr->size());
    for (const auto& v : *arr) {
        auto s = v.get<std::string>();
        if (!s) return std::nullopt;
        out.push_back(*s);
    }
    return out;
}

std::vector<std::string> UserDefaults::keys() const {
    std::lock_guard lock(mutex_);
    loadLocked();
    std::vector<std::string> out;
    for (const auto& [k, v] : values_) out.push_back(k);
    return out;
}

bool UserDefaults::set(const std::string& key, Value value) {
    std::lock_guard lock(mutex_);
    loadLocked();
    values_[key] = std::move(value);
    return writeLocked();
}

bool UserDefaults::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    loadLocked();
    values_.erase(key);
    return writeLocked();
}

void UserDefaults::reload() {
    std::lock_guard lock(mutex_);
    loaded_ = false;
    loadLocked();
}

}  // namespace Platform
