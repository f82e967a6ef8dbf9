#pragma once
// Property lists built byte by byte, never through libplist (which recurses over
// them): nested arrays in either format, and binary lists whose references fold back
// or name one object many times.
#include <cstdint>
#include <string>
#include <vector>

namespace nestedplists {
enum class Format { xml, binary };
inline const char* name(Format f) { return f == Format::xml ? "xml" : "binary"; }

// Binary objects referring to each other by index, in `refWidth` bytes.
struct Binary {
    std::vector<std::string> objects;
    unsigned refWidth = 4;  // 1 holds 256 objects, in the smallest list naming them often
    static std::string word(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
    // An object's marker and length, the length as an integer object from 15 on.
    static std::string marker(int kind, size_t n) {
        if (n < 15) return std::string(1, char(kind << 4 | n));
        return std::string{char(kind << 4 | 0xF), char(0x12)} + word(uint32_t(n));
    }
    uint32_t add(std::string o) { return objects.push_back(std::move(o)), uint32_t(objects.size() - 1); }
    uint32_t string(const std::string& s) { return add(marker(0x5, s.size()) + s); }
    uint32_t container(char kind, const std::vector<uint32_t>& refs) {  // a dictionary: keys, then values
        std::string o = marker(kind, kind == 0xD ? refs.size() / 2 : refs.size());
        for (uint32_t r : refs) o += word(r).substr(4 - refWidth);
        return add(o);
    }
    uint32_t nest(int depth) {  // `depth` arrays, each holding the next
        uint32_t inner = container(0xA, {});
        for (int i = 1; i < depth; ++i) inner = container(0xA, {inner});
        return inner;
    }
    std::string bytes(uint32_t root) const {
        std::string out = "bplist00", offsets;
        for (const std::string& o : objects) offsets += word(uint32_t(out.size())), out += o;
        const uint32_t table = uint32_t(out.size());
        return out + offsets + std::string(6, '\0') + '\4' + char(refWidth) + std::string(4, '\0') +
               word(uint32_t(objects.size())) + std::string(4, '\0') + word(root) + std::string(4, '\0') + word(table);
    }
};

inline std::string xmlNest(int depth) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<array>";
    for (int i = 0; i < depth; ++i) xml += "</array>";
    return xml;
}

// A list whose value is `depth` nested arrays.
inline std::string nested(Format f, int depth) {
    Binary b;
    return f == Format::binary ? b.bytes(b.nest(depth)) : "<?xml version=\"1.0\"?><plist>" + xmlNest(depth) + "</plist>";
}

// A dictionary naming `id` that holds `depth` nested arrays: an Info.plist or a job.
inline std::string infoPlist(Format f, const std::string& id, int depth) {
    if (f == Format::xml)
        return "<plist><dict><key>CFBundleIdentifier</key><string>" + id + "</string><key>Label</key><string>" + id +
               "</string><key>Nest</key>" + xmlNest(depth) + "</dict></plist>";
    Binary b;
    const uint32_t nest = b.nest(depth);
    return b.bytes(b.container(0xD, {b.string("CFBundleIdentifier"), b.string("Label"), b.string("Nest"), b.string(id),
                                     b.string(id), nest}));
}

// `levels` arrays each referring twice to the next: 2^levels values once unfolded.
inline std::string unfolding(int levels) {
    Binary b;
    uint32_t inner = b.container(0xA, {});
    for (int i = 0; i < levels; ++i) inner = b.container(0xA, {inner, inner});
    return b.bytes(inner);
}

// A dictionary naming `id` (an app's, a job's) whose "Copies" array refers `times` to
// one object, given encoded, a byte a reference.
inline std::string naming(const std::string& object, size_t times, const std::string& id = "com.shared") {
    Binary b;
    b.refWidth = 1;
    const uint32_t shared = b.add(object);
    const uint32_t copies = b.container(0xA, std::vector<uint32_t>(times, shared));
    return b.bytes(b.container(0xD, {b.string("CFBundleIdentifier"), b.string("Label"), b.string("Copies"),
                                     b.string(id), b.string(id), copies}));
}

// Such a dictionary whose array holds `entries` small numbers: about a byte each.
inline std::string longArray(size_t entries, const std::string& id = "com.long") {
    return naming({char(0x10), char(1)}, entries, id);
}

// `levels` nested arrays whose second from the top names every `step`th below it
// before the next: each is first met at most `step` levels down, so no path is
// long while the nesting is. Padded to `size` bytes with data nothing names.
inline std::string sharedChain(uint32_t levels, uint32_t step, size_t size = 0) {
    Binary b;
    std::vector<uint32_t> named;
    for (uint32_t level = 1, inner = 0; level <= levels - 2; ++level) {
        inner = level == 1 ? b.container(0xA, {}) : b.container(0xA, {inner});
        if (level % step == 0 || level == levels - 2) named.push_back(inner);
    }
    const uint32_t root = b.container(0xA, {b.container(0xA, named)});
    if (const size_t now = b.bytes(root).size() + 10; size > now)
        b.add(Binary::marker(0x4, size - now) + std::string(size - now, 'p'));
    return b.bytes(root);
}
}  // namespace nestedplists
