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

namespace
{

TEST(uStringTest, SearchFamilyBoundaries)
{
    const uString abc("abc");
    EXPECT_EQ(abc.find(""), 0);
    EXPECT_TRUE(abc.startsWith(""));
    EXPECT_FALSE(abc.endsWith("abcd"));
    EXPECT_TRUE(abc.endsWith("bc"));
    EXPECT_TRUE(abc.startsWith("bc", 1));
    EXPECT_FALSE(abc.startsWith("c", 3));
    EXPECT_FALSE(abc.startsWith("a", -1));
    EXPECT_EQ(abc.findChar('\0'), 3);
    EXPECT_EQ(abc.findChar('c', 3), -1);
    EXPECT_EQ(abc.findChar('a', -1), -1);
    EXPECT_EQ(abc.find("c", 4), -1);
    EXPECT_EQ(abc.find("c", 1), 2);
    EXPECT_EQ(abc.reverseFindChar('a'), 0);
    EXPECT_EQ(uString("bcd").reverseFindChar('a'), -1);
    EXPECT_EQ(abc.reverseFindChar('a', 3), 0);
    EXPECT_EQ(abc.reverseFindChar('b', 3), -1); // n = length examines index 0 only
    EXPECT_EQ(abc.reverseFindChar('a', 4), -1);
    EXPECT_EQ(abc.reverseFindChar('a', -1), -1);
    EXPECT_EQ(abc.getAt(3), '\0');
    EXPECT_EQ(abc.getAt(-1), '\0');

    const uString repeated("aaaa.b.aaa");
    EXPECT_EQ(repeated.reverseFind("aa"), 7);
    EXPECT_EQ(repeated.reverseFind(""), -1);
    EXPECT_EQ(repeated.reverseFind(uString("aa"), 3), 2);
    EXPECT_EQ(repeated.reverseFind(uString("aa"), 11), -1);
    EXPECT_EQ(repeated.reverseFind(uString(""), 0), -1);
}

TEST(uStringTest, ComparisonAndNullArguments)
{
    const uString abc("abc");
    const uString empty;
    EXPECT_EQ(abc.compare(static_cast<const char*>(nullptr)), -1);
    EXPECT_FALSE(abc.equals(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(empty == static_cast<const char*>(nullptr));
    EXPECT_EQ(empty.compareNoCase(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(uString("abd").compareNoCase("ABC"), 1);
    EXPECT_TRUE(abc.equalsNoCase(uString("ABC")));
    EXPECT_EQ(abc.compare("abd"), -1);
    EXPECT_EQ(uString("\xe9").compare("z"), 1); // unsigned byte order
    EXPECT_TRUE(uString("\xc9") != uString("\xe9"));
    EXPECT_FALSE(uString("\xc9").equalsNoCase("\xe9")); // ASCII-only case mapping
}

TEST(uStringTest, InsertEraseAndRangeGuards)
{
    uString s("abc");
    EXPECT_FALSE(s.insert(3, "x"));
    EXPECT_FALSE(s.insert(-1, "x"));
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_TRUE(s.insert(2, "x"));
    EXPECT_STREQ(s.c_str(), "abxc");
    EXPECT_TRUE(s.insert(0, 42));
    EXPECT_STREQ(s.c_str(), "42abxc");
    EXPECT_TRUE(s.insert(1, s)); // inserting its own text
    EXPECT_STREQ(s.c_str(), "442abxc2abxc");

    s = "abcdef";
    s.erase(4, 2); // a > b: nothing, no out-of-bounds write
    s.erase(1, 7);
    EXPECT_STREQ(s.c_str(), "abcdef");
    s.erase(1, 3);
    EXPECT_STREQ(s.c_str(), "adef");
    s.eraseAt(3);
    EXPECT_STREQ(s.c_str(), "ade");
    EXPECT_FALSE(s.truncate(3));
    EXPECT_TRUE(s.truncate(1));
    EXPECT_STREQ(s.c_str(), "a");
    EXPECT_FALSE(s.setAt(1, 'z'));

    uString range("prefix:rest");
    EXPECT_TRUE(range.replaceRange(0, 7, ""));
    EXPECT_STREQ(range.c_str(), "rest");
    range = "abcd";
    EXPECT_TRUE(range.replaceRange(0, 2, "X"));
    EXPECT_STREQ(range.c_str(), "Xcd");
    EXPECT_FALSE(range.replaceRange(2, 1, "Y"));
    EXPECT_FALSE(range.replaceRange(0, 3, "Y")); // b must lie below the length
    EXPECT_STREQ(range.c_str(), "Xcd");
}

TEST(uStringTest, ReplaceDoesNotRescanInsertedTextAndEmptyNeedleFails)
{
    uString s("aaa");
    EXPECT_TRUE(s.replace("a", "aa"));
    EXPECT_STREQ(s.c_str(), "aaaaaa");
    EXPECT_FALSE(s.replace("x", "y"));
    EXPECT_FALSE(s.replace("", "y"));
    EXPECT_FALSE(s.replaceFirst(uString(), uString("y")));

    uString path("a/b/c");
    EXPECT_TRUE(path.replaceFirst("/", "::"));
    EXPECT_STREQ(path.c_str(), "a::b/c");
    EXPECT_TRUE(path.replace(uString("b"), path)); // replacement aliases the string
    EXPECT_STREQ(path.c_str(), "a::a::b/c/c");

    uString chars("a-b-c");
    chars.replaceChar('-', '\0');
    EXPECT_STREQ(chars.c_str(), "abc");
    EXPECT_EQ(chars.getLength(), 3);
}

TEST(uStringTest, TrimAndStripPhp)
{
    uString s(" \t a b \r\n");
    EXPECT_TRUE(s.trim());
    EXPECT_STREQ(s.c_str(), "a b");
    s = "   ";
    EXPECT_TRUE(s.trim());
    EXPECT_EQ(s.getLength(), 0);
    EXPECT_FALSE(s.trim());

    s = "\n\r\n";
    EXPECT_TRUE(s.trimTrailingNewlines());
    EXPECT_STREQ(s.c_str(), "\n"); // never the first byte
    s = "line";
    EXPECT_FALSE(s.trimTrailingNewlines());

    uString page("<?php echo 1; ?>\r\n<p>x</p><?php y ?>\n<?php z ?>tail");
    EXPECT_TRUE(page.stripPhp());
    EXPECT_STREQ(page.c_str(), "<p>x</p>tail");
    EXPECT_FALSE(page.stripPhp());
    uString open("<?php never closed");
    EXPECT_FALSE(open.stripPhp());
    EXPECT_STREQ(open.c_str(), "<?php never closed");
}

TEST(uStringTest, CountedCopiesAndHeapResults)
{
    uString s;
    EXPECT_TRUE(s.assign("ab", 0, 4)); // short source: zero-filled up to the count
    EXPECT_EQ(bytes(s), std::string("ab\0\0", 4));
    EXPECT_FALSE(s.assign(static_cast<const char*>(nullptr), 0, 1));
    EXPECT_FALSE(s.append("x", -1, 1));
    EXPECT_FALSE(s.append("x", 0, -1));
    s = "hello";
    EXPECT_TRUE(s.append(s.c_str(), 1, 2)); // its own bytes
    EXPECT_STREQ(s.c_str(), "helloel");

    char* sub = s.substring(2, 40);
    ASSERT_NE(sub, nullptr);
    EXPECT_STREQ(sub, "lloel");
    free(sub);
    EXPECT_EQ(s.substring(8), nullptr);
    EXPECT_EQ(s.substring(-1), nullptr);
    EXPECT_EQ(s.substring(3, 2), nullptr);

    uString attached;
    attached.attach(s.duplicate());
    EXPECT_STREQ(attached.c_str(), "helloel");
    attached += "!";
    EXPECT_STREQ(attached.c_str(), "helloel!");

    char buffer[16] = "XXXXXXXXXXXXXXX";
    EXPECT_STREQ(s.copyRange(1, 3, buffer, 2), "el");
    EXPECT_STREQ(buffer, "XXel");
}

TEST(uStringTest, GrowthKeepsTextAcrossManyAppends)
{
    uString s;
    std::string expected;
    for (int i = 0; i < 5000; ++i)
    {
        s += i;
        s += ',';
        expected += std::to_string(i) + ",";
    }
    EXPECT_EQ(bytes(s), expected);
    EXPECT_GT(s.getCapacity(), s.getLength());
    EXPECT_TRUE(s.setCapacity(4));
    EXPECT_STREQ(s.c_str(), "0,1");
}

TEST(uStringTest, WideAssignmentAndRoundTrip)
{
    const char16_t* text = u"A\u00e9\u20ac\U0001F600z";
    uString s;
    EXPECT_TRUE(s.assignWide(text));
    EXPECT_STREQ(s.c_str(), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
    EXPECT_EQ(std::u16string(s.getWide()), std::u16string(text));

    EXPECT_TRUE(s.assignWide(text, 1, 3));
    EXPECT_STREQ(s.c_str(), "\xc3\xa9\xe2\x82\xac");
    EXPECT_TRUE(s.appendWide(u"xyz", 1, 2));
    EXPECT_STREQ(s.c_str(), "\xc3\xa9\xe2\x82\xacy");
    EXPECT_FALSE(s.assignWide(nullptr, 0, 1));
    EXPECT_FALSE(s.appendWide(u"x", 1, 0));

    // Lenient: unpaired surrogates keep their own 3-byte form, also at the end.
    const char16_t lone[] = {u'a', 0xDC00, u'b', 0xD800, 0};
    EXPECT_TRUE(s.assignWide(lone));
    EXPECT_STREQ(s.c_str(), "a\xed\xb0\x80"
                            "b\xed\xa0\x80");
    EXPECT_EQ(std::u16string(s.getWide()), u"a\uFFFD\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFD");

    // Assigning the string's own UTF-16 copy back.
    uString self("s\xc3\xa9lf");
    EXPECT_TRUE(self.assignWide(self.getWide()));
    EXPECT_STREQ(self.c_str(), "s\xc3\xa9lf");
    EXPECT_EQ(std::u16string(uString().getWide()), u"");
}

TEST(uStringTest, GetWideReplacesEachIllFormedSequence)
{
    struct Case
    {
        const char* utf8;
        const char16_t* wide;
    };
    const Case cases[] = {
        {"\xe9t\xe9", u"\uFFFDt\uFFFD"}, // Latin-1 bytes between ASCII
        {"a\x80"
         "b",
         u"a\uFFFDb"},                     // stray continuation byte
        {"x\xc0\x80y", u"x\uFFFD\uFFFDy"}, // overlong NUL
        {"\xe2\x82", u"\uFFFD"},           // truncated at the end: one replacement
        {"\xf4\x90\x80\x80!", u"\uFFFD\uFFFD\uFFFD\uFFFD!"},
    };
    for (const Case& c : cases)
    {
        uString s(c.utf8);
        EXPECT_EQ(std::u16string(s.getWide()), std::u16string(c.wide)) << c.utf8;
    }
}

} // namespace
