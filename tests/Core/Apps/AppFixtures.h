#pragma once
// Application bundles for a fixture home: a folder with Contents/Info.plist (XML
// or binary) and a small program inside.
#include <plist/plist.h>

#include <cstdlib>
#include <map>
#include <string>

#include "Core/Clean/FakeHome.h"

namespace appfixtures {
namespace fs = std::filesystem;
enum class Format { xml, binary };

// A bundle at `where` (under the home unless absolute) whose Info.plist holds these
// string keys, with a program of two blocks.
inline fs::path bundle(const fakehome::FakeHome& home, const fs::path& where,
                       const std::map<std::string, std::string>& keys, Format format = Format::xml) {
    plist_t dict = plist_new_dict();
    for (const auto& [k, v] : keys) plist_dict_set_item(dict, k.c_str(), plist_new_string(v.c_str()));
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == Format::xml) plist_to_xml(dict, &bytes, &length);
    else plist_to_bin(dict, &bytes, &length);
    const fs::path b = home.absolute(where);
    testtree::writeFile(b / "Contents/Info.plist", std::string(bytes, length));
    free(bytes);
    plist_free(dict);
    home.file(b / "Contents/MacOS/app", 2);
    return b;
}
}  // namespace appfixtures
