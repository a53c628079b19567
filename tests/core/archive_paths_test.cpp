#include "core/archive_paths.h"

#include <gtest/gtest.h>

namespace {

using V = std::vector<std::string>;

TEST(ArchiveEntryComponents, SplitsAtEitherSeparator) {
    EXPECT_EQ(k4m::archiveEntryComponents("data\\sounds\\kick.wav"), (V{"data", "sounds", "kick.wav"}));
    EXPECT_EQ(k4m::archiveEntryComponents("data/sounds/"), (V{"data", "sounds"}));
    EXPECT_EQ(k4m::archiveEntryComponents("./a//b"), (V{"a", "b"}));
    EXPECT_EQ(k4m::archiveEntryComponents("a..b/..c"), (V{"a..b", "..c"}));
}

TEST(ArchiveEntryComponents, RefusesNamesThatLeaveTheFolder) {
    for (const char* name : {"../x", "a/../../x", "a\\..\\x", "/etc/passwd", "\\x", "C:\\x", "c:x", "", "./", ".."}) {
        SCOPED_TRACE(std::string("entry name \"") + name + "\"");
        EXPECT_THROW(k4m::archiveEntryComponents(name), k4m::UnsafeEntryName);
    }
}

} // namespace
