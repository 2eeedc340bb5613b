#include "feeds/Version.h"

#include "foundation/uFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace
{

TEST(VersionTest, DottedTextAndOrder)
{
    const CVersion builtIn("0.9.7");
    EXPECT_EQ(builtIn, CVersion(0, 9, 7));
    EXPECT_TRUE(CVersion(0, 9, 10) > builtIn) << "parts compare as numbers";
    EXPECT_TRUE(CVersion(1, 0, 0) > CVersion(0, 99, 99));
    EXPECT_FALSE(CVersion(0, 9, 7) > builtIn);
    EXPECT_FALSE(CVersion(0, 8, 99) > builtIn);
    EXPECT_EQ(CVersion("2.1"), CVersion(2, 1, 0)) << "missing parts are 0";
    EXPECT_EQ(CVersion(static_cast<const char*>(nullptr)), CVersion());
    EXPECT_EQ(CVersion("1.2.3.4"), CVersion(1, 2, 3));
}

TEST(VersionTest, VersionFileLinesAndTheirOrder)
{
    testsupport::TempDir dir;
    const std::string file = dir.write("version.txt", "# latest\r\n"
                                                      "  major=  1  \r\n"
                                                      "Major=7\r\n"
                                                      "minor=4\r\n"
                                                      "\r\n"
                                                      "minor=0\r\n"
                                                      "release=12beta\r\n"
                                                      "build=99\r\n");
    uFile writable(file.c_str(), uFile::kModeWrite);
    const CVersion fetched(writable);
    EXPECT_EQ(fetched, CVersion(1, 0, 12)) << "trimmed lines; a later line wins, also after a blank one";
    EXPECT_TRUE(fetched > CVersion("0.9.7"));
    EXPECT_FALSE(fetched > CVersion(1, 0, 12));
    EXPECT_NE(testsupport::ReadFileBytes(file), "") << "reading must never empty the file";

    EXPECT_EQ(CVersion(uFile(dir.write("partial.txt", "release=3\nmajor=x\n").c_str())), CVersion(0, 0, 3));
    EXPECT_EQ(CVersion(uFile(dir.write("unended.txt", "major=2\nminor=1\nrelease=5").c_str())),
              CVersion(2, 1, 5))
        << "the last line counts without its newline";
    EXPECT_EQ(CVersion(uFile(dir.file("missing.txt").c_str())), CVersion());
}

} // namespace
