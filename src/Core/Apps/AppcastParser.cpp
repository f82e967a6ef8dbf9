#include "Core/Apps/AppcastParser.h"

#include <expat.h>

#include <climits>
#include <memory>

#include "Core/Apps/AppUpdates.h"
#include "Core/Text.h"

namespace {
struct Context {
    AppcastParser& parser;
    XML_Parser xml;
};

void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    AppcastParser::Attributes map;
    for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2) map.emplace(a[0], a[1]);
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
    XML_StopParser(static_cast<Context*>(data)->xml, XML_FALSE);
}

struct FreeParser {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};
}  // namespace

void AppcastParser::startElement(std::string_view name, const Attributes& attributes) {
    text.clear();
    if (name != "enclosure") return;
    if (auto it = attributes.find("sparkle:shortVersionString"); it != attributes.end()) versions.push_back(it->second);
    else if (auto v = attributes.find("sparkle:version"); v != attributes.end()) versions.push_back(v->second);
}

void AppcastParser::characters(std::string_view data) { text.append(data); }

void AppcastParser::endElement(std::string_view name) {
    if (name != "sparkle:shortVersionString") return;
    std::string trimmed = Text::trimmingWhitespace(text);
    if (!trimmed.empty()) versions.push_back(std::move(trimmed));
}

void AppcastParser::parse(std::string_view data) {
    // No namespace processing: "sparkle:…" names arrive whole, as written.
    std::unique_ptr<XML_ParserStruct, FreeParser> xml(XML_ParserCreate(nullptr));
    if (!xml || data.size() > INT_MAX) return;
    Context context{*this, xml.get()};
    XML_SetUserData(xml.get(), &context);
    XML_SetElementHandler(xml.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(xml.get(), onCharacters);
    XML_SetEntityDeclHandler(xml.get(), onEntityDeclaration);
    XML_SetParamEntityParsing(xml.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    // The outcome does not matter: what was read before an error stays read.
    XML_Parse(xml.get(), data.data(), static_cast<int>(data.size()), XML_TRUE);
}

std::optional<std::string> AppcastParser::latestVersion(std::string_view data) {
    AppcastParser parser;
    parser.parse(data);
    if (parser.versions.empty()) return std::nullopt;
    std::string best = parser.versions.front();
    for (size_t i = 1; i < parser.versions.size(); ++i)
        if (AppUpdates::isNewer(parser.versions[i], best)) best = parser.versions[i];
    return best;
}
