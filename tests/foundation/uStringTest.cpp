#include "foundation/uString.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace
{

std::string bytes(const uString& s)
{
    return std::string(s.c_str(), static_cast<size_t>(s.getLength()));
}

TEST(uStringTest, ConstructionAndNullSemantics)
{
    EXPECT_EQ(uString().getCapacity(), 16);
    EXPECT_EQ(uString(static_cast<const char*>(nullptr)).getCapacity(), 16);
    EXPECT_EQ(uString(static_cast<const char16_t*>(nullptr)).getLength(), 0);
    EXPECT_EQ(uString(static_cast<const uString*>(nullptr)).getLength(), 0);
    EXPECT_STREQ(uString("hello", 1, 3).c_str(), "ell");
    EXPECT_STREQ(uString(uString("hello"), 2, 2).c_str(), "ll");
    EXPECT_STREQ(uString(u"h\u00e9").c_str(), "h\xc3\xa9");

    uString s("abc");
    EXPECT_TRUE(s.assign(static_cast<const char*>(nullptr)));
    EXPECT_EQ(s.getLength(), 0);
    s = "abc";
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s.c_str(), "abc");
    s = 0;
    EXPECT_STREQ(s.c_str(), "0");
    s = 'x';
    EXPECT_STREQ(s.c_str(), "x");
    s = true;
    EXPECT_STREQ(s.c_str(), "true");
    s = 1099511627776L;
    EXPECT_STREQ(s.c_str(), "1099511627776");
    s = 2.5;
    EXPECT_STREQ(s.c_str(), "2.500000");
}

TEST(uStringTest, FormatLongTextWithSixtyFourBitNumberIsExact)
{
    const std::string block(1000, 'q');
    uString s("short");
    ASSERT_TRUE(s.format("[%s|%ld|%d|%s]", block.c_str(), 1L << 40, -7, "end"));
    const std::string expected = "[" + block + "|1099511627776|-7|end]";
    EXPECT_EQ(bytes(s), expected);
    EXPECT_EQ(s.getLength(), static_cast<int>(expected.size()));

    char* heap = uString::formatAlloc("%s-%ld", block.c_str(), -(1L << 40));
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(std::string(heap), block + "--1099511627776");
    free(heap);
}

TEST(uStringTest, CopiesKeepEmbeddedNulsAndByteZeroAppends)
{
    uString s("a");
    s.append('\0').append('b');
    EXPECT_EQ(s.getLength(), 3);
    uString copy(s);
    EXPECT_EQ(bytes(copy), std::string("a\0b", 3));
    uString other;
    other = s;
    EXPECT_EQ(bytes(other), std::string("a\0b", 3));
    s.appendCharAsText('\0');
    EXPECT_EQ(s.getLength(), 3);
    EXPECT_FALSE(uString("a") == s);
}

TEST(uStringTest, ServesAsOrderedMapKey)
{
    std::map<uString, int> map;
    map[uString("b")] = 2;
    map[uString("a")] = 1;
    map[uString("ab")] = 3;
    ASSERT_EQ(map.size(), 3u);
    EXPECT_STREQ(map.begin()->first.c_str(), "a");
    EXPECT_EQ(map[uString("ab")], 3);
}

TEST(uStringTest, GetWideSubstitutesStrayLatin1AndKeepsTheRest)
{
    uString s("caf\xe9 au lait");
    EXPECT_EQ(std::u16string(s.getWide()), u"caf\uFFFD au lait");
    uString tail("caf\xe9");
    EXPECT_EQ(std::u16string(tail.getWide()), u"caf\uFFFD");
    uString astral("a\xf0\x9f\x98\x80z");
    EXPECT_EQ(std::u16string(astral.getWide()), u"a\U0001F600z");
}

} // namespace
