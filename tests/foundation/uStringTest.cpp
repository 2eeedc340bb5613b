#include "foundation/uString.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace
{

std::string bytes(const uString& s)
{
    return std::string(s.c_str(), static_cast<size_t>(s.getLength()));
}

TEST(uStringTest, NullArgumentsAreEmptyTextNeverACrash)
{
    EXPECT_EQ(uString(static_cast<const char*>(nullptr)).getLength(), 0);
    EXPECT_EQ(uString(static_cast<const char16_t*>(nullptr)).getLength(), 0);
    EXPECT_EQ(uString(static_cast<const uString*>(nullptr)).getLength(), 0);

    uString s("abc");
    s = static_cast<const char*>(nullptr); // leaves the text, unlike assign(nullptr)
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_EQ(s.compare(static_cast<const char*>(nullptr)), -1);
    EXPECT_FALSE(s.equals(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(s.assign(static_cast<const char*>(nullptr)));
    EXPECT_EQ(s.getLength(), 0);
    EXPECT_TRUE(s == static_cast<const char*>(nullptr));
    EXPECT_EQ(s.compareNoCase(static_cast<const char*>(nullptr)), 0);
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

TEST(uStringTest, GetWideReplacesEachIllFormedSequenceAndKeepsTheRest)
{
    const std::pair<const char*, const char16_t*> cases[] = {
        {"caf\xe9 au lait", u"caf\uFFFD au lait"}, // a stray Latin-1 byte
        {"caf\xe9", u"caf\uFFFD"},
        {"a\xf0\x9f\x98\x80z", u"a\U0001F600z"},
        {"a\x80"
         "b",
         u"a\uFFFDb"},                     // stray continuation byte
        {"x\xc0\x80y", u"x\uFFFD\uFFFDy"}, // overlong NUL
        {"\xe2\x82", u"\uFFFD"},           // truncated at the end: one replacement
        {"\xf4\x90\x80\x80!", u"\uFFFD\uFFFD\uFFFD\uFFFD!"},
    };
    for (const auto& [utf8, wide] : cases)
    {
        uString s(utf8);
        EXPECT_EQ(std::u16string(s.getWide()), std::u16string(wide)) << utf8;
    }
}

TEST(uStringTest, SearchesStayInBoundsAndEmptyNeedlesNeverLoop)
{
    const uString abc("abc");
    EXPECT_EQ(abc.find(""), 0);
    EXPECT_TRUE(abc.startsWith(""));
    EXPECT_FALSE(abc.endsWith("abcd"));
    EXPECT_FALSE(abc.startsWith("c", 3));
    EXPECT_FALSE(abc.startsWith("a", -1));
    EXPECT_EQ(abc.findChar('\0'), 3);
    EXPECT_EQ(abc.findChar('a', -1), -1);
    EXPECT_EQ(abc.find("c", 4), -1);
    EXPECT_EQ(abc.reverseFindChar('a', 3), 0);
    EXPECT_EQ(abc.reverseFindChar('b', 3), -1); // n = length examines index 0 only
    EXPECT_EQ(abc.reverseFindChar('a', 4), -1);
    EXPECT_EQ(abc.reverseFindChar('a', -1), -1);
    EXPECT_EQ(abc.getAt(-1), '\0');

    const uString repeated("aaaa.b.aaa");
    EXPECT_EQ(repeated.reverseFind("aa"), 7);
    EXPECT_EQ(repeated.reverseFind(""), -1);
    EXPECT_EQ(repeated.reverseFind(uString("aa"), 3), 2);
    EXPECT_EQ(repeated.reverseFind(uString("aa"), 11), -1);

    EXPECT_EQ(uString("\xe9").compare("z"), 1);         // unsigned byte order
    EXPECT_FALSE(uString("\xc9").equalsNoCase("\xe9")); // ASCII-only case mapping
    EXPECT_EQ(uString("abd").compareNoCase("ABC"), 1);
}

TEST(uStringTest, EditsRefuseOutOfRangeIndexesAndAcceptTheirOwnText)
{
    uString s("abc");
    EXPECT_FALSE(s.insert(3, "x"));
    EXPECT_FALSE(s.insert(-1, "x"));
    EXPECT_TRUE(s.insert(2, "x"));
    EXPECT_TRUE(s.insert(1, s)); // inserting its own text
    EXPECT_STREQ(s.c_str(), "aabxcbxc");

    s = "abcdef";
    s.erase(4, 2); // a > b: nothing, no out-of-bounds write
    s.erase(1, 7);
    EXPECT_STREQ(s.c_str(), "abcdef");
    s.erase(1, 3);
    EXPECT_STREQ(s.c_str(), "adef");
    EXPECT_FALSE(s.truncate(4));
    EXPECT_FALSE(s.setAt(4, 'z'));

    uString range("abcd");
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
    EXPECT_FALSE(s.replace("", "y"));
    EXPECT_FALSE(s.replaceFirst(uString(), uString("y")));

    uString path("a/b/c");
    EXPECT_TRUE(path.replaceFirst("/", "::"));
    EXPECT_TRUE(path.replace(uString("b"), path)); // replacement aliases the string
    EXPECT_STREQ(path.c_str(), "a::a::b/c/c");

    uString chars("a-b-c");
    chars.replaceChar('-', '\0');
    EXPECT_EQ(bytes(chars), "abc");
}

TEST(uStringTest, TrimAndStripPhp)
{
    uString s(" \t a b \r\n");
    EXPECT_TRUE(s.trim());
    EXPECT_STREQ(s.c_str(), "a b");
    s = "   ";
    EXPECT_TRUE(s.trim());
    EXPECT_EQ(s.getLength(), 0);

    s = "\n\r\n";
    EXPECT_TRUE(s.trimTrailingNewlines());
    EXPECT_STREQ(s.c_str(), "\n"); // never the first byte

    uString page("<?php echo 1; ?>\r\n<p>x</p><?php y ?>\n<?php z ?>tail");
    EXPECT_TRUE(page.stripPhp());
    EXPECT_STREQ(page.c_str(), "<p>x</p>tail");
    uString open("<?php never closed");
    EXPECT_FALSE(open.stripPhp());
    EXPECT_STREQ(open.c_str(), "<?php never closed");
}

TEST(uStringTest, CountedCopiesAndHeapResultsStayInBounds)
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
    EXPECT_TRUE(s.setCapacity(4));
    EXPECT_STREQ(s.c_str(), "0,1");
}

TEST(uStringTest, WideAssignmentRoundTripsAndKeepsLoneSurrogates)
{
    const char16_t* text = u"A\u00e9\u20ac\U0001F600z";
    uString s;
    EXPECT_TRUE(s.assignWide(text));
    EXPECT_STREQ(s.c_str(), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
    EXPECT_EQ(std::u16string(s.getWide()), std::u16string(text));

    EXPECT_TRUE(s.assignWide(text, 1, 3));
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
}

TEST(uStringTest, EncodingNamesTextThatCameFromUtf16)
{
    EXPECT_STREQ(uString("plain").getEncoding(), "");
    EXPECT_STREQ(uString(u"wide").getEncoding(), "UTF-8");
    uString s;
    s.append(u"x");
    EXPECT_STREQ(s.getEncoding(), "UTF-8");
    EXPECT_STREQ(uString(s).getEncoding(), "") << "a copy starts without it";
}

// contains is virtual: a string type that narrows it is asked through the base.
TEST(uStringTest, ContainsCanBeNarrowedByADerivedString)
{
    struct CaseBlind : uString
    {
        using uString::uString;
        bool contains(const char* needle) const override
        {
            uString lower(*this), wanted(needle);
            lower.makeLower();
            wanted.makeLower();
            return lower.find(wanted) >= 0;
        }
        bool contains(const uString& needle) const override { return contains(needle.c_str()); }
    };
    const uString& text = CaseBlind("Hello World");
    EXPECT_TRUE(text.contains("WORLD"));
    EXPECT_TRUE(text.contains(uString("hello")));
    EXPECT_FALSE(uString("Hello World").contains("WORLD"));
}

TEST(uStringTest, WriteReturnsTheLengthForAStartPastTheEnd)
{
    FILE* stream = tmpfile();
    ASSERT_NE(stream, nullptr);
    const uString s("abcdef");
    EXPECT_EQ(s.write(stream, 2, 3), 1u);
    EXPECT_EQ(s.write(stream, 7, 3), 6u) << "nothing written";
    EXPECT_EQ(s.write(stream, 6, 3), 0u) << "at the end there is nothing to write";
    rewind(stream);
    char back[8] = {};
    EXPECT_EQ(fread(back, 1, sizeof back, stream), 3u);
    EXPECT_STREQ(back, "cde");
    fclose(stream);
}

TEST(uStringTest, CharsetConversionReportsFailureAndKeepsTheText)
{
    uString s("caf\xc3\xa9");
    EXPECT_FALSE(s.convertCharset("UTF-8", "ISO-8859-1"));
    EXPECT_STREQ(s.c_str(), "caf\xc3\xa9");
    EXPECT_FALSE(s.convertCharset("abc", 3, "ISO-8859-1", "UTF-8"));
    EXPECT_STREQ(s.c_str(), "caf\xc3\xa9") << "a failed conversion of a source keeps the old text";
    EXPECT_FALSE(s.convertCharset(nullptr, 0, "ISO-8859-1", "UTF-8"));
    EXPECT_TRUE(s.isEmpty()) << "a null source empties the string";

    int length = -1;
    EXPECT_EQ(uString::toCharset("x", 1, "UTF-8", "ISO-8859-1", &length), nullptr);
    EXPECT_EQ(length, 0);
}

} // namespace
