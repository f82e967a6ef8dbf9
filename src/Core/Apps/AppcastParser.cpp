#include "Core/Apps/AppcastParser.h"

#include <expat.h>

#include <climits>
#include <cstdio>
#include <memory>

#include "Core/Apps/AppUpdates.h"
#include "Core/Text.h"

namespace {
// Room for a version padded with white space; more than this is no version.
constexpr size_t kTextCap = 4 * AppUpdates::maxVersionLength;

struct Context {
    AppcastParser& parser;
    XML_Parser xml;
    bool declaresEntities = false;
};

void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    AppcastParser::Attributes map;
    // Only an enclosure's attributes are read; a value too long to be a version is
    // kept only far enough to tell so.
    if (std::string_view(name) == "enclosure")
        for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2)
            map.emplace(a[0], std::string_view(a[1]).substr(0, AppUpdates::maxVersionLength + 1));
    static_cast<Context*>(data)->parser.startElement(name, map);
}

void onEnd(void* data, const XML_Char* name) { static_cast<Context*>(data)->parser.endElement(name); }

void onCharacters(void* data, const XML_Char* s, int length) {
    static_cast<Context*>(data)->parser.characters(std::string_view(s, static_cast<size_t>(length)));
}

// A feed has no use for entities: declaring one (the way to an entity explosion or
// a fetch from outside) ends the reading there.
void onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*) {
    auto* context = static_cast<Context*>(data);
    context->declaresEntities = true;
    XML_StopParser(context->xml, XML_FALSE);
}

struct FreeParser {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};
}  // namespace

void AppcastParser::startElement(std::string_view name, const Attributes& attributes) {
    if (root.empty()) root = name;
    text.clear();
    textOverflow_ = false;
    if (name != "enclosure") return;
    auto it = attributes.find("sparkle:shortVersionString");
    if (it == attributes.end()) it = attributes.find("sparkle:version");
    if (it == attributes.end()) return;
    if (it->second.size() > AppUpdates::maxVersionLength) versionTooLong_ = true;
    else versions.push_back(it->second);
}

void AppcastParser::characters(std::string_view data) {
    if (text.size() + data.size() > kTextCap) textOverflow_ = true;
    else text.append(data);
}

void AppcastParser::endElement(std::string_view name) {
    if (name != "sparkle:shortVersionString") return;
    std::string trimmed = Text::trimmingWhitespace(text);
    if (textOverflow_ || trimmed.size() > AppUpdates::maxVersionLength) versionTooLong_ = true;
    else if (!trimmed.empty()) versions.push_back(std::move(trimmed));
}

AppcastParser::Reading AppcastParser::parse(std::string_view data) {
    // No namespace processing: "sparkle:…" names arrive whole, as written.
    std::unique_ptr<XML_ParserStruct, FreeParser> xml(XML_ParserCreate(nullptr));
    if (!xml || data.size() > INT_MAX) return Reading::notWellFormed;
    Context context{*this, xml.get()};
    XML_SetUserData(xml.get(), &context);
    XML_SetElementHandler(xml.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(xml.get(), onCharacters);
    XML_SetEntityDeclHandler(xml.get(), onEntityDeclaration);
    XML_SetParamEntityParsing(xml.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    // What was read before an error stays read.
    if (XML_Parse(xml.get(), data.data(), static_cast<int>(data.size()), XML_TRUE) != XML_STATUS_OK) {
        if (context.declaresEntities) return Reading::declaresEntities;
        char where[32];
        std::snprintf(where, sizeof where, "line %lu: ", static_cast<unsigned long>(XML_GetCurrentLineNumber(xml.get())));
        brokenAt = where + std::string(XML_ErrorString(XML_GetErrorCode(xml.get())));
        return Reading::notWellFormed;
    }
    if (!isFeed()) return Reading::notAFeed;
    return versionTooLong_ ? Reading::versionTooLong : Reading::feed;
}

std::optional<std::string> AppcastParser::latest() const {
    if (versions.empty()) return std::nullopt;
    std::string best = versions.front();
    for (size_t i = 1; i < versions.size(); ++i)
        if (AppUpdates::isNewer(versions[i], best)) best = versions[i];
    return best;
}

std::optional<std::string> AppcastParser::latestVersion(std::string_view data) {
    AppcastParser parser;
    parser.parse(data);
    return parser.latest();
}
