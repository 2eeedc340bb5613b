#include "foundation/uUnicode.h"

#include "foundation/uSplit.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace unicode;

namespace
{

using Bytes = std::basic_string<unsigned char>;

Bytes u8(const char* text)
{
    return Bytes(reinterpret_cast<const unsigned char*>(text));
}

struct Utf8To16
{
    ConversionResult result;
    std::u16string out;
    size_t consumed;
};

Utf8To16 utf8ToUtf16(const Bytes& in, int mode, size_t room = 64)
{
    std::u16string out(room, u'\0');
    const unsigned char* source = in.data();
    char16_t* target = out.data();
    ConversionResult result =
        ConvertUTF8toUTF16(&source, in.data() + in.size(), &target, out.data() + room, mode);
    out.resize(static_cast<size_t>(target - out.data()));
    return {result, out, static_cast<size_t>(source - in.data())};
}

struct Utf16To8
{
    ConversionResult result;
    Bytes out;
    size_t consumed;
};

Utf16To8 utf16ToUtf8(const std::u16string& in, int mode, size_t room = 64)
{
    Bytes out(room, 0);
    const char16_t* source = in.data();
    unsigned char* target = out.data();
    ConversionResult result =
        ConvertUTF16toUTF8(&source, in.data() + in.size(), &target, out.data() + room, mode);
    out.resize(static_cast<size_t>(target - out.data()));
    return {result, out, static_cast<size_t>(source - in.data())};
}

TEST(UnicodeTest, AstralCharactersRoundTripThroughAllThreeForms)
{
    const std::u32string original = U"a\u00e9\u20ac\U0001F600\U0010FFFF\U00010000z";
    for (int mode : {strictConversion, lenientConversion})
    {
        std::u16string utf16(32, u'\0');
        const char32_t* s32 = original.data();
        char16_t* t16 = utf16.data();
        ASSERT_EQ(ConvertUTF32toUTF16(&s32, original.data() + original.size(), &t16,
                                      utf16.data() + utf16.size(), mode),
                  conversionOK);
        utf16.resize(static_cast<size_t>(t16 - utf16.data()));
        EXPECT_EQ(utf16, u"a\u00e9\u20ac\U0001F600\U0010FFFF\U00010000z");

        Utf16To8 utf8 = utf16ToUtf8(utf16, mode);
        ASSERT_EQ(utf8.result, conversionOK);
        EXPECT_EQ(utf8.out, u8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf\xf0\x90\x80\x80z"));

        Utf8To16 back = utf8ToUtf16(utf8.out, mode);
        ASSERT_EQ(back.result, conversionOK);
        EXPECT_EQ(back.out, utf16);

        std::u32string utf32(32, U'\0');
        const unsigned char* s8 = utf8.out.data();
        char32_t* t32 = utf32.data();
        ASSERT_EQ(ConvertUTF8toUTF32(&s8, utf8.out.data() + utf8.out.size(), &t32,
                                     utf32.data() + utf32.size(), mode),
                  conversionOK);
        utf32.resize(static_cast<size_t>(t32 - utf32.data()));
        EXPECT_EQ(utf32, original);

        std::u32string fromUtf16(32, U'\0');
        const char16_t* s16 = utf16.data();
        t32 = fromUtf16.data();
        ASSERT_EQ(ConvertUTF16toUTF32(&s16, utf16.data() + utf16.size(), &t32,
                                      fromUtf16.data() + fromUtf16.size(), mode),
                  conversionOK);
        fromUtf16.resize(static_cast<size_t>(t32 - fromUtf16.data()));
        EXPECT_EQ(fromUtf16, original);
    }
}

TEST(UnicodeTest, IllFormedUtf8IsIllegalInBothModes)
{
    struct Case
    {
        const char* bytes;
        ConversionResult result;
        size_t consumed;
    };
    const Case cases[] = {
        {"ab\xed\xa0\x80", sourceIllegal, 2},   // encoded surrogate
        {"ab\xc0\x80", sourceIllegal, 2},       // overlong
        {"\xf4\x90\x80\x80", sourceIllegal, 0}, // above U+10FFFF
        {"\x80", sourceIllegal, 0},
        {"ab\xe9", sourceExhausted, 2}, // ends inside a sequence: nothing of it consumed
        {"\xf0\x9f\x98", sourceExhausted, 0},
    };
    for (int mode : {strictConversion, lenientConversion})
    {
        for (const Case& c : cases)
        {
            Utf8To16 r = utf8ToUtf16(u8(c.bytes), mode);
            EXPECT_EQ(r.result, c.result) << c.bytes << " mode " << mode;
            EXPECT_EQ(r.consumed, c.consumed) << c.bytes;
        }
    }
    const unsigned char good[] = {0xF0, 0x9F, 0x98, 0x80};
    EXPECT_TRUE(isLegalUTF8(good, 4));
    EXPECT_FALSE(isLegalUTF8(good, 5));
    EXPECT_TRUE(isLegalUTF8Sequence(good, good + 4));
    EXPECT_FALSE(isLegalUTF8Sequence(good, good + 3));
}

TEST(UnicodeTest, LoneSurrogatesFromUtf16DependOnMode)
{
    const std::u16string low = {u'x', char16_t(0xDC00), u'y'};
    Utf16To8 lenient = utf16ToUtf8(low, lenientConversion);
    EXPECT_EQ(lenient.result, conversionOK);
    EXPECT_EQ(lenient.out, u8("x\xed\xb0\x80y"));
    Utf16To8 strict = utf16ToUtf8(low, strictConversion);
    EXPECT_EQ(strict.result, sourceIllegal);
    EXPECT_EQ(strict.consumed, 1u);
    EXPECT_EQ(strict.out, u8("x"));

    const std::u16string highThenLetter = {char16_t(0xD800), u'a'};
    EXPECT_EQ(utf16ToUtf8(highThenLetter, strictConversion).result, sourceIllegal);
    EXPECT_EQ(utf16ToUtf8(highThenLetter, lenientConversion).out, u8("\xed\xa0\x80"
                                                                     "a"));

    const std::u16string trailingHigh = {u'a', char16_t(0xD83D)};
    for (int mode : {strictConversion, lenientConversion})
    {
        Utf16To8 r = utf16ToUtf8(trailingHigh, mode);
        EXPECT_EQ(r.result, sourceExhausted);
        EXPECT_EQ(r.consumed, 1u);
    }

    const std::u32string surrogate32 = {U'a', char32_t(0xD800)};
    std::u16string out(4, u'\0');
    const char32_t* s = surrogate32.data();
    char16_t* t = out.data();
    EXPECT_EQ(ConvertUTF32toUTF16(&s, s + 2, &t, out.data() + 4, strictConversion), sourceIllegal);
    EXPECT_EQ(s - surrogate32.data(), 1);
    s = surrogate32.data();
    t = out.data();
    EXPECT_EQ(ConvertUTF32toUTF16(&s, s + 2, &t, out.data() + 4, lenientConversion), conversionOK);
    EXPECT_EQ(out[1], replacementCharacter);
}

TEST(UnicodeTest, TargetExhaustionKeepsProgressAndResumes)
{
    const Bytes in = u8("ab\xf0\x9f\x98\x80"
                        "c");
    // Room for "ab" and half a surrogate pair: the pair must not be split.
    Utf8To16 first = utf8ToUtf16(in, lenientConversion, 3);
    EXPECT_EQ(first.result, targetExhausted);
    EXPECT_EQ(first.out, u"ab");
    EXPECT_EQ(first.consumed, 2u);
    Utf8To16 rest = utf8ToUtf16(in.substr(first.consumed), lenientConversion);
    EXPECT_EQ(rest.result, conversionOK);
    EXPECT_EQ(first.out + rest.out, u"ab\U0001F600c");

    Utf16To8 narrow = utf16ToUtf8(u"a\u20ac", lenientConversion, 3);
    EXPECT_EQ(narrow.result, targetExhausted);
    EXPECT_EQ(narrow.out, u8("a"));
    EXPECT_EQ(narrow.consumed, 1u);
}

TEST(UnicodeTest, ByteSwaps)
{
    uint16_t half = 0x1122;
    EXPECT_EQ(swapBytes16(&half), 0x1122);
    EXPECT_EQ(half, 0x2211);

    unsigned char memory[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t words[2];
    memcpy(words, memory, 8);
    swapBytes32x2(words);
    memcpy(memory, words, 8);
    const unsigned char expected[8] = {4, 3, 2, 1, 8, 7, 6, 5};
    EXPECT_EQ(0, memcmp(memory, expected, 8));

    uint32_t four[4] = {0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00};
    swapBytes32x4(four);
    EXPECT_EQ(four[0], 0x44332211u);
    EXPECT_EQ(four[3], 0x00FFEEDDu);
}

TEST(SplitTest, NumericSplitters)
{
    int count = -1;
    int* time = SplitToArray("12:05", ':', &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(time[0], 12);
    EXPECT_EQ(time[1], 5);
    delete[] time;

    int* none = SplitToArray("", ':', &count);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(count, 0);
    delete[] none;

    std::vector<int> ints = {99};
    SplitToIntList("08:30", ':', ints);
    EXPECT_EQ(ints, (std::vector<int>{8, 30}));
    SplitToIntList("1, 2,x,3", ',', ints);
    EXPECT_EQ(ints, (std::vector<int>{1, 2, 3}));
    SplitToIntList("-5,7,,9", ',', ints); // signs are not digits; empty pieces add nothing
    EXPECT_EQ(ints, (std::vector<int>{7, 9}));
    SplitToIntList(" 1  2", ' ', ints); // white-space skipping stops at a white-space delimiter
    EXPECT_EQ(ints, (std::vector<int>{1, 2}));

    std::vector<double> doubles;
    SplitToDoubleList("1.5e3;-2", ';', doubles);
    EXPECT_EQ(doubles, (std::vector<double>{1500.0, -2.0}));
    std::vector<float> floats;
    SplitToFloatList("0.25|x|+4", '|', floats);
    EXPECT_EQ(floats, (std::vector<float>{0.25f, 4.0f}));

    // A run longer than the 64-byte work area is cut, never overflowing.
    const std::string longRun = std::string(100, '1') + ":2";
    std::vector<long> longs;
    SplitToLongList(longRun.c_str(), ':', longs);
    ASSERT_EQ(longs.size(), 2u);
    EXPECT_EQ(longs[1], 2);

    double* values = SplitToDoubleArray("3.5.1", ';', &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(values[0], 3.5);
    delete[] values;
}

TEST(SplitTest, SplitToListKeepsEveryPiece)
{
    std::vector<uString> pieces = {uString("stale")};
    SplitToList("a;b;c", ';', pieces);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_STREQ(pieces[2].c_str(), "c");
    SplitToList("x;;", ';', pieces);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_STREQ(pieces[0].c_str(), "x");
    EXPECT_TRUE(pieces[1].isEmpty() && pieces[2].isEmpty());
    SplitToList("", ';', pieces);
    EXPECT_TRUE(pieces.empty());
}

} // namespace
