#include "Models/Analyze/PathSet.h"

#include <gtest/gtest.h>

// A path split into its folder and name is the same path, byte for byte, wherever the
// split falls, and a set of them answers for it however the path was given.
TEST(ChildPath, IsThePathItWasMadeOf) {
    struct Case {
        const char* path;
        const char* name;
        const char* in;  // a folder it lies directly in, or none
    } const cases[] = {
        {"/usr", "usr", "/"},
        {"/a/b/c.txt", "c.txt", "/a/b"},
        {"/a/b/", "", "/a/b/"},
        {"name", "name", nullptr},
        {"/a/\xff\xfe", "\xff\xfe", "/a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const ChildPath p(c.path);
        EXPECT_EQ(p.string(), c.path);
        EXPECT_EQ(p.name(), c.name);
        EXPECT_TRUE(p.is(c.path));
        EXPECT_FALSE(p.is(std::string(c.path) + "x"));
        EXPECT_EQ(p.isIn(c.in ? c.in : "/elsewhere"), c.in != nullptr);
        EXPECT_EQ(ChildPath(p.sharedFolder(), p.name()), p);
    }
    EXPECT_FALSE(ChildPath("/a/b").isIn("/a/b"));
    EXPECT_FALSE(ChildPath("/ab/c").isIn("/a"));
}

TEST(PathSet, FindsAPathHoweverItIsGiven) {
    const auto folder = ChildPath::within("/home/x");
    const ChildPath a(folder, "a"), b(folder, "b");
    PathSet set{"/home/x/a", "/elsewhere/a"};
    EXPECT_TRUE(set.contains(a));
    EXPECT_FALSE(set.contains(b));
    EXPECT_EQ(set.count("/elsewhere/a"), 1u);
    EXPECT_EQ(set.count("/home/x"), 0u);
    EXPECT_FALSE(set.insert(a));  // there already, given as a path
    EXPECT_TRUE(set.insert(b));
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(set, (PathSet{"/home/x/b", "/elsewhere/a", "/home/x/a"}));
    EXPECT_TRUE(set.erase("/home/x/a"));
    EXPECT_FALSE(set.erase(a));
    EXPECT_NE(set, (PathSet{"/home/x/b", "/elsewhere/b"}));
    EXPECT_TRUE(set.erase("/elsewhere/a") && set.erase(b));
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set, PathSet{});
}
