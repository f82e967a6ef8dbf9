#include "Platform/PropertyList.h"

#include "Platform/Clock.h"
#include "Platform/FileOps.h"

#include <expat.h>
#include <plist/plist.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

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
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return Value(s ? std::string(s, length) : std::string());
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
        arr.reserve(plist_array_get_size(node));
        // libplist finds an item by index by walking from the first: one pass instead.
        plist_array_iter it = nullptr;
        plist_array_new_iter(node, &it);
        std::unique_ptr<void, decltype(&free)> owner(it, free);
        for (;;) {
            plist_t item = nullptr;
            if (it) plist_array_next_item(node, it, &item);
            if (!item) break;
            auto v = fromPlist(item);
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

constexpr std::string_view kBinaryMagic = "bplist00";

uint64_t bigEndian(const unsigned char* p, unsigned width) {
    uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) v = v << 8 | p[i];
    return v;
}

// The shape of a binary list, walked from its object table without recursion:
// how deep its containers nest, and how many values and how many bytes of text
// and data it unfolds into. libplist copies a shared object at every reference,
// so a few hundred bytes of objects that each refer twice to the next would
// unfold into billions of values, and a long string named a few thousand times
// into gigabytes: both are counted as unfolded against the bounds.
std::optional<Problem> binaryShape(std::string_view bytes) {
    constexpr size_t kTrailer = 32;
    if (bytes.size() < kBinaryMagic.size() + kTrailer) return Problem::notPropertyList;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* trailer = data + bytes.size() - kTrailer;
    const unsigned offsetWidth = trailer[6], refWidth = trailer[7];
    const uint64_t count = bigEndian(trailer + 8, 8), root = bigEndian(trailer + 16, 8),
                   table = bigEndian(trailer + 24, 8), end = bytes.size() - kTrailer;
    // Objects lie between the magic and the offset table, the table before the trailer.
    if (offsetWidth < 1 || offsetWidth > 8 || refWidth < 1 || refWidth > 8 || table < kBinaryMagic.size() ||
        table > end || count == 0 || count > (end - table) / offsetWidth || root >= count)
        return Problem::notPropertyList;
    // Every object a writer puts in a list is reached and so unfolds into a value at
    // least: more objects than values would only make this walk's memory grow.
    if (count > kMaxValues) return Problem::tooManyValues;

    struct Object {
        uint64_t at = 0, n = 0;  // where its references start and how many; none for a plain value
        uint64_t payload = 0;    // the bytes of text or data libplist makes of it
    };
    const auto objectAt = [&](uint64_t object) -> std::optional<Object> {
        const uint64_t at = bigEndian(data + table + object * offsetWidth, offsetWidth);
        if (at < kBinaryMagic.size() || at >= table) return std::nullopt;
        const unsigned type = data[at] >> 4;
        const bool container = type == 0xA || type == 0xC || type == 0xD;  // array, set, dictionary
        if (!container && type != 0x4 && type != 0x5 && type != 0x6) return Object{};  // data, ASCII, UTF-16
        uint64_t n = data[at] & 0xF, first = at + 1;
        if (n == 0xF) {  // the count follows as an integer object
            if (first >= table || data[first] >> 4 != 0x1) return std::nullopt;
            const unsigned width = 1u << (data[first] & 0xF);
            if (width > 8 || width >= table - first) return std::nullopt;
            n = bigEndian(data + first + 1, width);
            first += 1 + width;
        }
        // A dictionary's keys, then its values; a UTF-16 unit, which becomes up to three bytes of UTF-8.
        const uint64_t width = container ? refWidth * (type == 0xD ? 2 : 1) : type == 0x6 ? 2 : 1;
        if (n > (table - first) / width) return std::nullopt;
        if (!container) return Object{0, 0, type == 0x6 ? 3 * n : n};
        return Object{first, n * (type == 0xD ? 2 : 1), 0};
    };

    constexpr uint32_t maxValues = kMaxValues, maxBytes = kMaxTextBytes;
    static_assert(maxBytes < UINT32_MAX / 2 && kMaxDepth < UINT16_MAX);
    // Each count stops growing once past its bound: the walk ends there.
    struct Seen {
        uint32_t values = 0;  // unfolded, itself included
        uint32_t bytes = 0;   // unfolded payload
        uint16_t height = 0;  // 1 for a plain value or an empty container
        uint8_t state = 0;    // 0 not met, 1 on the path being walked, 2 measured
    };
    std::vector<Seen> seen(count);
    struct Step {
        uint64_t object;
        Object contents;
        uint64_t next = 0;
    };
    std::vector<Step> path;
    const auto enter = [&](uint64_t object) -> std::optional<Problem> {
        const auto found = objectAt(object);
        if (!found) return Problem::notPropertyList;
        if (path.size() >= static_cast<size_t>(kMaxDepth)) return Problem::nestedTooDeeply;
        seen[object] = {1, static_cast<uint32_t>(std::min<uint64_t>(maxBytes + 1u, found->payload)), 1, 1};
        path.push_back({object, *found});
        return std::nullopt;
    };
    // Adds a measured child to the container on top of the path. A child measured
    // once from a shallow path can be named from anywhere, so the height is checked
    // here, not only by the length of the path.
    const auto account = [&](const Seen& child) -> std::optional<Problem> {
        Seen& parent = seen[path.back().object];
        if (child.height + 1 > kMaxDepth) return Problem::nestedTooDeeply;
        parent.height = std::max<uint16_t>(parent.height, child.height + 1);
        parent.values += child.values;
        parent.bytes += child.bytes;
        if (parent.values > maxValues || parent.bytes > maxBytes) return Problem::tooManyValues;
        return std::nullopt;
    };
    if (auto problem = enter(root)) return problem;
    while (!path.empty()) {
        Step& step = path.back();
        if (step.next == step.contents.n) {
            seen[step.object].state = 2;
            const Seen done = seen[step.object];
            path.pop_back();
            if (!path.empty())
                if (auto problem = account(done)) return problem;
            continue;
        }
        const uint64_t child = bigEndian(data + step.contents.at + step.next++ * refWidth, refWidth);
        if (child >= count) return Problem::notPropertyList;
        if (seen[child].state == 1) return Problem::notPropertyList;  // a container inside itself
        if (seen[child].state == 0) {
            if (auto problem = enter(child)) return problem;
            continue;
        }
        if (auto problem = account(seen[child])) return problem;
    }
    if (seen[root].bytes > maxBytes) return Problem::tooManyValues;  // a root that is one long text
    return std::nullopt;
}

// The shape of an XML list: well-formed, declaring no entities, nesting no
// deeper than allowed, within the count of values and the work of expanding
// references (the <plist> element around the value not counted). Its text needs
// no count: it is never longer than the file. Expat keeps its own stack on the
// heap, so any depth is measured safely.
struct XmlShape {
    XML_Parser parser;
    std::string_view document{};
    int depth = 0;
    size_t values = 0;
    uint64_t textStart = 0, references = 0;  // of the element opened last
    uint64_t referenceWork = 0;
    std::optional<Problem> problem{};

    void stop(Problem p) {
        problem = p;
        XML_StopParser(parser, XML_FALSE);
    }
    static void start(void* self, const XML_Char*, const XML_Char**) {
        auto* shape = static_cast<XmlShape*>(self);
        shape->textStart = static_cast<uint64_t>(XML_GetCurrentByteIndex(shape->parser));
        shape->references = 0;
        if (++shape->depth > kMaxDepth + 1) shape->stop(Problem::nestedTooDeeply);
        else if (++shape->values > kMaxValues + 1) shape->stop(Problem::tooManyValues);
    }
    // A reference reaches this handler alone, as the character it stands for.
    static void text(void* self, const XML_Char*, int) {
        auto* shape = static_cast<XmlShape*>(self);
        const auto at = static_cast<size_t>(XML_GetCurrentByteIndex(shape->parser));
        if (at < shape->document.size() && shape->document[at] == '&') ++shape->references;
    }
    static void end(void* self, const XML_Char* name) {
        auto* shape = static_cast<XmlShape*>(self);
        --shape->depth;
        // Only the texts of these two are expanded by moving.
        if (std::strcmp(name, "string") != 0 && std::strcmp(name, "key") != 0) return;
        const auto at = static_cast<uint64_t>(XML_GetCurrentByteIndex(shape->parser));
        shape->referenceWork += shape->references * (at - shape->textStart);
        if (shape->referenceWork > kMaxReferenceWork) shape->stop(Problem::tooManyValues);
    }
    static void entity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                       const XML_Char*, const XML_Char*) {
        static_cast<XmlShape*>(self)->stop(Problem::notPropertyList);
    }
};

std::optional<Problem> xmlShape(std::string_view bytes) {
    // libplist starts reading after leading white space; expat wants the declaration first.
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return Problem::notPropertyList;
    bytes.remove_prefix(first);
    // Every byte is a character in Latin-1: text that is not UTF-8, which libplist
    // reads, does not fail the check; only the markup's shape matters here.
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("ISO-8859-1"),
                                                                          XML_ParserFree);
    if (!parser) return Problem::notPropertyList;
    XmlShape shape{.parser = parser.get(), .document = bytes};
    XML_SetUserData(parser.get(), &shape);
    XML_SetElementHandler(parser.get(), XmlShape::start, XmlShape::end);
    XML_SetCharacterDataHandler(parser.get(), XmlShape::text);
    XML_SetEntityDeclHandler(parser.get(), XmlShape::entity);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    constexpr size_t kChunk = 1 << 20;
    do {
        const std::string_view chunk = bytes.substr(0, kChunk);
        bytes.remove_prefix(chunk.size());
        if (XML_Parse(parser.get(), chunk.data(), static_cast<int>(chunk.size()), bytes.empty()) != XML_STATUS_OK)
            return shape.problem.value_or(Problem::notPropertyList);
    } while (!bytes.empty());
    return std::nullopt;
}

std::unique_ptr<void, PlistFree> read(std::string_view bytes, Problem* problem) {
    const auto fail = [&](Problem p) {
        if (problem) *problem = p;
        return std::unique_ptr<void, PlistFree>();
    };
    if (bytes.size() > kMaxFileBytes) return fail(Problem::unreadable);
    if (bytes.empty()) return fail(Problem::notPropertyList);
    // libplist takes what starts with the magic for binary and anything else for XML.
    const bool binary = bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic;
    if (const auto shape = binary ? binaryShape(bytes) : xmlShape(bytes)) return fail(*shape);
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return fail(Problem::notPropertyList);
    return std::unique_ptr<void, PlistFree>(root);
}
}  // namespace

const std::string* string(const Dictionary& dict, const std::string& key) {
    const auto it = dict.find(key);
    return it == dict.end() ? nullptr : it->second.get<std::string>();
}

std::optional<Value> parse(std::string_view bytes, Problem* problem) {
    const auto root = read(bytes, problem);
    if (!root) return std::nullopt;
    auto value = fromPlist(root.get());
    if (!value && problem) *problem = Problem::notPropertyList;  // a top level of a type we do not keep
    return value;
}

bool isPropertyList(std::string_view bytes, Problem* problem) { return read(bytes, problem) != nullptr; }

std::optional<std::string> readFile(const std::filesystem::path& file, Problem* problem) {
    auto bytes = FileOps::readRegularFile(file, kMaxFileBytes);
    if (!bytes && problem) *problem = Problem::unreadable;
    return bytes;
}

std::optional<Dictionary> readDictionary(const std::filesystem::path& file, Problem* problem) {
    const auto bytes = readFile(file, problem);
    if (!bytes) return std::nullopt;
    auto value = parse(*bytes, problem);
    if (!value) return std::nullopt;
    if (auto* dict = value->get<Dictionary>()) return std::move(*dict);
    if (problem) *problem = Problem::notDictionary;
    return std::nullopt;
}
}  // namespace Platform::PropertyList
