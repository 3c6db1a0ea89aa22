#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/byte_path.h"

namespace trimlet {
namespace {

TEST(PathComponents, JoinBackToThePathWithEveryEmptyPartKept)
{
    for (const std::string path :
         {"", "/", "a", "/a/b", "a//b/", "//host/share", "/tmp/\x89\xe6\x91\x9c.png", "./../x"}) {
        const std::vector<std::string> parts = pathComponents(path);
        ASSERT_FALSE(parts.empty()) << path;
        std::string joined = parts[0];
        for (std::size_t i = 1; i < parts.size(); ++i)
            joined += "/" + parts[i];
        EXPECT_EQ(joined, path);
        for (const std::string& part : parts)
            EXPECT_EQ(part.find('/'), std::string::npos) << path;
    }
    EXPECT_EQ(pathComponents("/a/"), (std::vector<std::string>{"", "a", ""}));
}

TEST(AbsoluteLocalPath, KeepsTheRootAndDropsOnlyTrailingSlashes)
{
    EXPECT_EQ(absoluteLocalPath("/"), "/");
    EXPECT_EQ(absoluteLocalPath("/a/b//"), "/a/b");
    EXPECT_EQ(absoluteLocalPath("/a/.."), "/");
    EXPECT_EQ(folderPart(absoluteLocalPath("/x.png")), "/");
}

}  // namespace
}  // namespace trimlet
