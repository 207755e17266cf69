#include "core/paths.h"

#include <gtest/gtest.h>

namespace tervo {
namespace {

TEST(Paths, SplitAndChangeExtension) {
    EXPECT_EQ(ChangeFileExtension("log.txt.kmz", ".kml"), "log.txt.kml");
    EXPECT_EQ(ChangeFileExtension("track", ".kml"), "track.kml");
    EXPECT_EQ(ChangeFileExtension("/a.b/track", ".kml"), "/a.b/track.kml");
    EXPECT_EQ(DirectoryPart("/home/u/log.kmz"), "/home/u/");
    EXPECT_EQ(DirectoryPart("log.kmz"), "");
    EXPECT_EQ(FileNamePart("/home/u/log.kmz"), "log.kmz");
    EXPECT_EQ(WithoutFinalSeparator("/home/u/"), "/home/u");
    EXPECT_EQ(WithoutFinalSeparator("/"), "/") << "the root keeps its one separator";
}

TEST(AbsoluteFrom, PutsARelativePathBehindTheCurrentDirectory) {
    EXPECT_EQ(AbsoluteFrom("a.nmea", "/home/ann"), "/home/ann/a.nmea");
    EXPECT_EQ(AbsoluteFrom("logs/a.nmea", "/home/ann/"), "/home/ann/logs/a.nmea");
    EXPECT_EQ(AbsoluteFrom("/data/a.nmea", "/home/ann"), "/data/a.nmea");
    EXPECT_EQ(AbsoluteFrom("a.nmea", "/"), "/a.nmea");
}

}  // namespace
}  // namespace tervo
