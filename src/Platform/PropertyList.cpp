#include "Platform/PropertyList.h"

#include "Platform/Clock.h"
#include "Platform/FileOps.h"

#include <expat.h>
#include <plist/plist.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

namespace Platform::PropertyList {
namespace {
using namespace std::chrono_literals;
using Array = UserDefaults::Array;
using Date = UserDefaults::Date;

// Property-list dates count seconds from the reference date (1 January 2001, UTC).
constexpr int64_t kReferenceDateOffset = static_cast<int64_t>(referenceDateUnixSeconds);

std::optional<Value> fromPlist(plist_t node);

std::optional<Value> fromPlistDict(plist_t node) {
    Dictionary dict;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    if (!it) return std::optional<Value>(std::in_place, std::move(dict));
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
    return std::optional<Value>(std::in_place, std::move(dict));
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

// What some bytes came to: a list, whose value is absent when it is of a type we do
// not keep (data), or the reason for none.
struct Reading {
    std::optional<Problem> problem;
    std::optional<Value> value;
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

// A number's text as lists have always been read here, leniently: white space,
// a sign, then decimal, 0x hex or 0 octal digits as far as they go (none: 0). Past
// 64 bits a number stops at the largest; from 2^63 to 2^64 it keeps its 64 bits, as
// the binary form holds them.
int64_t integerOf(const std::string& text) {
    const char* p = text.c_str() + std::min(text.size(), text.find_first_not_of(" \t\r\n"));
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    const unsigned long long u = std::strtoull(p, nullptr, 0);
    if (!negative) return static_cast<int64_t>(u);
    return u >= uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(u);
}

// In the C locale whatever the program's: a list written "1.5" means 1.5 everywhere.
double realOf(const std::string& text) {
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", locale_t{});
    return c ? strtod_l(text.c_str(), nullptr, c) : 0.0;
}

// YYYY-MM-DDTHH:MM:SS in UTC, the seconds optional and what follows them (a
// fraction, a zone) not read, as lists have always been read here; one that cannot be read
// is the Unix epoch, one past what a Date holds (years 1678 to 2261) the nearest it holds.
Date dateOf(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const int n = std::sscanf(text.c_str(), " %4d-%2d-%2dT%2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second);
    if (n < 3 || year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return Date();
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    const std::chrono::seconds since1970(timegm(&tm));
    constexpr auto first = std::chrono::floor<std::chrono::seconds>(Date::min().time_since_epoch()) + 1s,
                   last = std::chrono::floor<std::chrono::seconds>(Date::max().time_since_epoch());
    return Date(std::chrono::duration_cast<Date::duration>(std::clamp(since1970, first, last)));
}

// An XML list, checked and built in one parse: the events that build its values
// are the ones counted against the bounds, so the list that is counted is the list
// that is read, whatever markup (a document type's internal subset, comments,
// processing instructions) the bytes hold. Expat and the stack of open values both
// live on the heap, so any depth is turned away safely.
class XmlReader {
public:
    static Reading read(std::string_view document) {
        // Each byte is a character in Latin-1, so text that is not UTF-8 parses; the
        // text handler takes the bytes themselves from the document.
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("ISO-8859-1"),
                                                                              XML_ParserFree);
        if (!parser) return {Problem::notPropertyList, std::nullopt};
        XmlReader reader(parser.get(), document);
        XML_SetUserData(parser.get(), &reader);
        XML_SetElementHandler(parser.get(), start, end);
        XML_SetCharacterDataHandler(parser.get(), text);
        XML_SetCdataSectionHandler(parser.get(), cdata<true>, cdata<false>);
        XML_SetEntityDeclHandler(parser.get(), entity);
        XML_SetSkippedEntityHandler(parser.get(), skipped);
        XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
        if (XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), XML_TRUE) != XML_STATUS_OK ||
            reader.problem_)
            return {reader.problem_.value_or(Problem::notPropertyList), std::nullopt};
        return {std::nullopt, std::move(reader.value_)};
    }

private:
    enum class Kind : uint8_t { plist, dict, array, key, string, integer, real, date, data, yes, no };
    struct Frame {
        Kind kind;
        std::string text{};   // a plain value's text; in a dictionary, the key waiting for its value
        bool keyed = false;   // a dictionary's key waits for its value
        bool unkept = false;  // an array holds a value of a type we do not keep
        Array array{};
        Dictionary dict{};
    };

    XmlReader(XML_Parser parser, std::string_view document) : parser_(parser), document_(document) {
        open_.reserve(kMaxDepth + 2);
    }

    static std::optional<Kind> kindOf(const char* name) {
        static constexpr std::pair<std::string_view, Kind> kinds[] = {
            {"plist", Kind::plist},     {"dict", Kind::dict}, {"array", Kind::array}, {"key", Kind::key},
            {"string", Kind::string},   {"integer", Kind::integer}, {"real", Kind::real}, {"date", Kind::date},
            {"data", Kind::data},       {"true", Kind::yes},  {"false", Kind::no}};
        for (const auto& [n, kind] : kinds)
            if (n == name) return kind;
        return std::nullopt;
    }
    static bool isContainer(Kind k) { return k == Kind::plist || k == Kind::dict || k == Kind::array; }

    void stop(Problem p) {
        problem_ = p;
        XML_StopParser(parser_, XML_FALSE);
    }

    // The top-level <plist> holds the list's one value; what follows that value in it
    // is counted, never read, as it always was.
    bool skipping() const { return skipped_ > 0 || read_; }

    static void start(void* self, const XML_Char* name, const XML_Char**) {
        auto& r = *static_cast<XmlReader*>(self);
        if (r.problem_) return;
        if (++r.depth_ > kMaxDepth + 1) return r.stop(Problem::nestedTooDeeply);
        if (++r.values_ > kMaxValues + 1) return r.stop(Problem::tooManyValues);
        if (r.skipping()) {
            ++r.skipped_;
            return;
        }
        const auto kind = kindOf(name);
        if (!kind || (*kind == Kind::plist && !r.open_.empty())) return r.stop(Problem::notPropertyList);
        if (!r.open_.empty()) {
            const Frame& parent = r.open_.back();
            // A dictionary takes a key, then its value; a plain value holds no element.
            if (!isContainer(parent.kind) || (parent.kind == Kind::dict && (*kind == Kind::key) == parent.keyed))
                return r.stop(Problem::notPropertyList);
        }
        r.open_.push_back(Frame{*kind});
    }

    static void text(void* self, const XML_Char* decoded, int length) {
        auto& r = *static_cast<XmlReader*>(self);
        if (r.problem_ || r.skipping() || r.open_.empty()) return;
        const auto at = static_cast<size_t>(XML_GetCurrentByteIndex(r.parser_));
        std::string_view bytes = r.document_.substr(std::min(at, r.document_.size()),
                                                    static_cast<size_t>(XML_GetCurrentByteCount(r.parser_)));
        Frame& open = r.open_.back();
        if (isContainer(open.kind)) {
            // Between values only white space, and no reference standing for it.
            if (bytes.find_first_not_of(" \t\r\n") != std::string_view::npos) r.stop(Problem::notPropertyList);
            return;
        }
        if (open.kind == Kind::yes || open.kind == Kind::no || open.kind == Kind::data) return;  // none of it is kept
        // Text keeps the file's own bytes (not UTF-8, CR LF); a reference, which
        // reaches this handler alone, is the character it stands for, in UTF-8.
        if (!r.inCdata_ && bytes.substr(0, 1) == "&") bytes = std::string_view(decoded, static_cast<size_t>(length));
        open.text += bytes;
    }

    static std::optional<Value> valueOf(Frame& done) {
        switch (done.kind) {
        case Kind::dict: return Value(std::move(done.dict));
        // An element we cannot represent would change the array's meaning: the array
        // is left out as a whole rather than shortened.
        case Kind::array: return done.unkept ? std::nullopt : std::optional<Value>(Value(std::move(done.array)));
        case Kind::key:  // outside a dictionary, a key is read as text
        case Kind::string: return Value(std::move(done.text));
        case Kind::integer: return Value(integerOf(done.text));
        case Kind::real: return Value(realOf(done.text));
        case Kind::date: return Value(dateOf(done.text));
        case Kind::yes: return Value(true);
        case Kind::no: return Value(false);
        default: return std::nullopt;  // data
        }
    }

    static void end(void* self, const XML_Char*) {
        auto& r = *static_cast<XmlReader*>(self);
        if (r.problem_) return;
        --r.depth_;
        if (r.skipped_ > 0) {
            --r.skipped_;
            return;
        }
        Frame done = std::move(r.open_.back());
        r.open_.pop_back();
        if (done.kind == Kind::plist) {
            if (!r.read_) r.stop(Problem::notPropertyList);
            return;
        }
        if (r.open_.empty() || r.open_.back().kind == Kind::plist) {
            r.value_ = valueOf(done);
            r.read_ = true;
            return;
        }
        Frame& parent = r.open_.back();
        if (parent.kind == Kind::array) {
            if (auto value = valueOf(done)) parent.array.push_back(std::move(*value));
            else parent.unkept = true;
        } else if (done.kind == Kind::key) {
            parent.text = std::move(done.text);
            parent.keyed = true;
        } else {
            // Where a key comes twice, its later value stands; one we do not keep leaves it out.
            parent.keyed = false;
            if (auto value = valueOf(done)) parent.dict.insert_or_assign(parent.text, std::move(*value));
            else parent.dict.erase(parent.text);
        }
    }

    template <bool opening>
    static void cdata(void* self) {
        static_cast<XmlReader*>(self)->inCdata_ = opening;
    }
    static void entity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                       const XML_Char*, const XML_Char*) {
        static_cast<XmlReader*>(self)->stop(Problem::notPropertyList);
    }
    // A reference to an entity declared nowhere this parse reads: nothing to stand for.
    static void skipped(void* self, const XML_Char*, int) {
        static_cast<XmlReader*>(self)->stop(Problem::notPropertyList);
    }

    XML_Parser parser_;
    std::string_view document_;
    std::vector<Frame> open_;
    int depth_ = 0;
    size_t values_ = 0;     // elements, the <plist> around the value among them
    size_t skipped_ = 0;    // open elements being counted, not read
    bool read_ = false;     // the list's value is complete
    bool inCdata_ = false;
    std::optional<Value> value_{};
    std::optional<Problem> problem_{};
};

Reading readXml(std::string_view bytes) {
    // Lists have always been read after white space; expat wants a declaration first.
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    // Expat would take bytes that look like UTF-16 for UTF-16 whatever it is told,
    // and no such text is Latin-1 or UTF-8 (its markup holds a zero byte).
    if (first == std::string_view::npos || bytes.find('\0') != std::string_view::npos)
        return {Problem::notPropertyList, std::nullopt};
    return XmlReader::read(bytes.substr(first));
}

Reading readBinary(std::string_view bytes) {
    if (const auto shape = binaryShape(bytes)) return {*shape, std::nullopt};
    plist_t root = nullptr;
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) return {Problem::notPropertyList, std::nullopt};
    const std::unique_ptr<void, PlistFree> owner(root);
    Reading reading{};
    reading.value = fromPlist(root);
    return reading;
}

Reading read(std::string_view bytes) {
    if (bytes.size() > kMaxFileBytes) return {Problem::unreadable, std::nullopt};
    if (bytes.empty()) return {Problem::notPropertyList, std::nullopt};
    return bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic ? readBinary(bytes) : readXml(bytes);
}
}  // namespace

const std::string* string(const Dictionary& dict, const std::string& key) {
    const auto it = dict.find(key);
    return it == dict.end() ? nullptr : it->second.get<std::string>();
}

std::optional<Value> parse(std::string_view bytes, Problem* problem) {
    auto reading = read(bytes);
    // A top level of a type we do not keep is a list, but no value.
    if (!reading.value && problem) *problem = reading.problem.value_or(Problem::notPropertyList);
    return std::move(reading.value);
}

bool isPropertyList(std::string_view bytes, Problem* problem) {
    const auto reading = read(bytes);
    if (reading.problem && problem) *problem = *reading.problem;
    return !reading.problem;
}

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
