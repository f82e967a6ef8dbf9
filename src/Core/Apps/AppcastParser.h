#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The version texts of an update feed (an appcast): each enclosure's
// sparkle:shortVersionString (else its sparkle:version) and every
// sparkle:shortVersionString element, in document order. Element and attribute
// names are compared as written, prefix included. One parse per object.
class AppcastParser {
public:
    using Attributes = std::map<std::string, std::string, std::less<>>;

    std::vector<std::string> versions;  // every version met, in order
    std::string text;                   // the current element's character data

    void startElement(std::string_view name, const Attributes& attributes);
    void characters(std::string_view data);
    void endElement(std::string_view name);

    // Runs the events over the document. A document that breaks off keeps the
    // versions met before the break; one that declares entities stops where it
    // declares them, so no entity is expanded and nothing outside is fetched.
    void parse(std::string_view data);

    // The newest version the feed names (the first of equals), or none.
    static std::optional<std::string> latestVersion(std::string_view data);
};
