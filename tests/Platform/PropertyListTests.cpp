#include "Platform/PlatformTestSupport.h"
#include "Platform/PropertyList.h"

#include <gtest/gtest.h>

using Platform::PropertyList::readDictionary;
using platformtest::TempDir;

// Both formats, garbage, a fifo and a list that is no dictionary are read where
// bundles, job descriptions and the defaults are; here what only the reader turns away.
TEST(PropertyList, ReadsADictionaryWithinItsCapAndNothingElse) {
    TempDir tmp;
    platformtest::writeFile(tmp / "xml.plist", "<plist version=\"1.0\"><dict><key>Disabled</key><true/></dict></plist>");
    std::filesystem::create_directory(tmp / "folder.plist");
    ASSERT_TRUE(readDictionary(tmp / "xml.plist"));
    EXPECT_TRUE(readDictionary(tmp / "xml.plist")->at("Disabled").is<bool>());
    EXPECT_FALSE(readDictionary(tmp / "xml.plist", 16)) << "larger than the cap";
    for (const char* name : {"folder.plist", "missing.plist"}) EXPECT_FALSE(readDictionary(tmp / name)) << name;
}
