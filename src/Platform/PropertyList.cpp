#include "Platform/PropertyList.h"

#include "Platform/Clock.h"
#include "Platform/FileOps.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace Platform::PropertyList {
namespace {
using Array = UserDefaults::Array;
using Date = UserDefaults::Date;

// Property-list dates count seconds from the reference date (1 January 2001, UTC).
constexpr int64_t kReferenceDateOffset = static_cast<int64_t>(referenceDateUnixSeconds);

std::optional<Value> fromPlist(plist_t node);

std::optional<Value> fromPlistDict(plist_t node) {
    Dictionary dict;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    if (!it) return Value(std::move(dict));
    for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (!item) {
            free(key);
            break;
        }
        // A value of a type we do not keep (data, UID) is left out alone.
        if (key) {
            if (auto v = fromPlist(item)) dict.emplace(key, std::move(*v));
        }
        free(key);
    }
    free(it);
    return Value(std::move(dict));
}

std::optional<Value> fromPlist(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // libplist keeps signed integers in the same 64 bits.
        return Value(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        char* s = nullptr;
        plist_get_string_val(node, &s);
        std::string text = s ? s : "";
        free(s);
        return Value(std::move(text));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const auto since1970 = std::chrono::seconds(int64_t{sec} + kReferenceDateOffset) +
                               std::chrono::microseconds(usec);
        return Value(Date(std::chrono::duration_cast<Date::duration>(since1970)));
    }
    case PLIST_ARRAY: {
        Array arr;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) {
            auto v = fromPlist(plist_array_get_item(node, i));
            // An element we cannot represent would change the array's meaning: keep the
            // array out as a whole rather than shorten it.
            if (!v) return std::nullopt;
            arr.push_back(std::move(*v));
        }
        return Value(std::move(arr));
    }
    case PLIST_DICT:
        return fromPlistDict(node);
    default:
        return std::nullopt;
    }
}

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};

std::unique_ptr<void, PlistFree> read(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    return std::unique_ptr<void, PlistFree>(root);
}
}  // namespace

const std::string* string(const Dictionary& dict, const std::string& key) {
    const auto it = dict.find(key);
    return it == dict.end() ? nullptr : it->second.get<std::string>();
}

std::optional<Value> parse(std::string_view bytes) {
    const auto root = read(bytes);
    if (!root) return std::nullopt;
    return fromPlist(root.get());
}

bool isPropertyList(std::string_view bytes) { return read(bytes) != nullptr; }

std::optional<Dictionary> readDictionary(const std::filesystem::path& file, std::size_t maxBytes) {
    const auto bytes = FileOps::readRegularFile(file, maxBytes);
    if (!bytes) return std::nullopt;
    auto value = parse(*bytes);
    if (!value) return std::nullopt;
    if (auto* dict = value->get<Dictionary>()) return std::move(*dict);
    return std::nullopt;
}
}  // namespace Platform::PropertyList
