#include "Platform/PlatformTestSupport.h"
#include "Platform/PropertyList.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <plist/plist.h>

#include <memory>

using Platform::PropertyList::Dictionary;
using Platform::PropertyList::readDictionary;
using platformtest::TempDir;
using platformtest::writeFile;
namespace fs = std::filesystem;

namespace {
const char* kXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>CFBundleIdentifier</key><string>com.example.App</string>"
    "<key>Disabled</key><true/></dict></plist>\n";

std::string binaryOf(const char* xml) {
    plist_t root = nullptr;
    plist_from_xml(xml, static_cast<uint32_t>(strlen(xml)), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string out(bytes, length);
    plist_to_bin_free(bytes);
    plist_free(root);
    return out;
}

std::optional<std::string> identifier(const std::optional<Dictionary>& d) {
    if (!d) return std::nullopt;
    auto it = d->find("CFBundleIdentifier");
    if (it == d->end() || !it->second.is<std::string>()) return std::nullopt;
    return *it->second.get<std::string>();
}
}  // namespace

TEST(PropertyList, ReadsBothFormatsAndTurnsAwayWhatIsNoPlainPropertyList) {
    TempDir tmp;
    writeFile(tmp / "xml.plist", kXml);
    writeFile(tmp / "binary.plist", binaryOf(kXml));
    writeFile(tmp / "garbage.plist", "not a property list");
    writeFile(tmp / "array.plist", "<plist version=\"1.0\"><array><string>x</string></array></plist>");
    ASSERT_EQ(::mkfifo((tmp / "fifo.plist").c_str(), 0600), 0);
    fs::create_directory(tmp / "folder.plist");

    EXPECT_EQ(identifier(readDictionary(tmp / "xml.plist")), "com.example.App");
    EXPECT_EQ(identifier(readDictionary(tmp / "binary.plist")), "com.example.App");
    EXPECT_TRUE(readDictionary(tmp / "xml.plist")->at("Disabled").is<bool>());
    for (const char* name : {"garbage.plist", "array.plist", "fifo.plist", "folder.plist", "missing.plist"}) {
        EXPECT_FALSE(readDictionary(tmp / name)) << name;  // a fifo returns at once rather than blocking
    }
    EXPECT_FALSE(readDictionary(tmp / "xml.plist", 16)) << "larger than the cap";
}
