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

    // How a document read: whole, as a feed, or why it did not.
    enum class Reading {
        feed,
        notWellFormed,     // broken XML, text that is not UTF-8, or cut off
        declaresEntities,  // never expanded, so never read
        notAFeed,          // well-formed, but not RSS (a web page, say)
        versionTooLong,    // a version text no version could be; left out
    };

    std::vector<std::string> versions;  // every version met, in order
    std::string text;                   // the current element's character data, up to a cap
    std::string root;                   // the document's first element
    std::string brokenAt;               // where and why a document that is not well-formed breaks

    void startElement(std::string_view name, const Attributes& attributes);
    void characters(std::string_view data);
    void endElement(std::string_view name);

    // Runs the events over the document. A document that breaks off keeps the
    // versions met before the break; one that declares entities stops where it
    // declares them, so no entity is expanded and nothing outside is fetched.
    Reading parse(std::string_view data);

    // Whether the document is RSS at all: a web page's enclosures are no feed's.
    bool isFeed() const { return root == "rss"; }
    // The newest of `versions` (the first of equals), or none.
    std::optional<std::string> latest() const;
    static std::optional<std::string> latestVersion(std::string_view data);

private:
    bool textOverflow_ = false;
    bool versionTooLong_ = false;
};
