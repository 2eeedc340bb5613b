#include "feeds/Version.h"

#include <gtest/gtest.h>

namespace
{

TEST(VersionTest, DottedTextAndOrder)
{
    const CVersion builtIn("0.9.7");
    EXPECT_EQ(builtIn, CVersion(0, 9, 7));
    EXPECT_TRUE(CVersion(0, 9, 10) > builtIn);
    EXPECT_TRUE(CVersion(0, 10, 0) > builtIn);
    EXPECT_TRUE(CVersion(1, 0, 0) > CVersion(0, 99, 99));
    EXPECT_FALSE(CVersion(0, 9, 7) > builtIn);
    EXPECT_FALSE(CVersion(0, 8, 99) > builtIn);
    EXPECT_TRUE(builtIn > CVersion(0, 8, 99));
    EXPECT_FALSE(CVersion(-1, 50, 0) > CVersion(0, 0, 0)) << "the comparison is signed";

    EXPECT_EQ(CVersion("2.1"), CVersion(2, 1, 0)) << "missing parts are 0";
    EXPECT_EQ(CVersion(""), CVersion());
    EXPECT_EQ(CVersion(static_cast<const char*>(nullptr)), CVersion());
    EXPECT_EQ(CVersion("1.2.3.4"), CVersion(1, 2, 3));
}

} // namespace
