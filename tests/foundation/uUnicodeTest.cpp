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

template <typename Out> struct Converted
{
    ConversionResult result;
    std::basic_string<Out> out;
    size_t consumed;
};

// Runs one converter over the whole input into a target of `room` units.
template <typename Out, typename In>
Converted<Out> convert(ConversionResult (*converter)(const In**, const In*, Out**, Out*, int),
                       const std::basic_string<In>& in, int mode, size_t room = 64)
{
    std::basic_string<Out> out(room, Out{});
    const In* source = in.data();
    Out* target = out.data();
    ConversionResult result = converter(&source, in.data() + in.size(), &target, out.data() + room, mode);
    out.resize(static_cast<size_t>(target - out.data()));
    return {result, out, static_cast<size_t>(source - in.data())};
}

// The output of a conversion that has to succeed.
template <typename Out, typename In>
std::basic_string<Out> convertedOK(ConversionResult (*converter)(const In**, const In*, Out**, Out*, int),
                                   const std::basic_string<In>& in, int mode)
{
    Converted<Out> converted = convert(converter, in, mode);
    EXPECT_EQ(converted.result, conversionOK);
    return converted.out;
}

TEST(UnicodeTest, AstralCharactersRoundTripThroughAllThreeForms)
{
    const std::u32string utf32 = U"a\u00e9\u20ac\U0001F600\U0010FFFF\U00010000z";
    const std::u16string utf16 = u"a\u00e9\u20ac\U0001F600\U0010FFFF\U00010000z";
    const Bytes utf8 = u8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf\xf0\x90\x80\x80z");
    for (int mode : {strictConversion, lenientConversion})
    {
        EXPECT_EQ(convertedOK(ConvertUTF32toUTF16, utf32, mode), utf16);
        EXPECT_EQ(convertedOK(ConvertUTF16toUTF8, utf16, mode), utf8);
        EXPECT_EQ(convertedOK(ConvertUTF8toUTF16, utf8, mode), utf16);
        EXPECT_EQ(convertedOK(ConvertUTF8toUTF32, utf8, mode), utf32);
        EXPECT_EQ(convertedOK(ConvertUTF16toUTF32, utf16, mode), utf32);
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
            auto r = convert(ConvertUTF8toUTF16, u8(c.bytes), mode);
            EXPECT_EQ(r.result, c.result) << c.bytes << " mode " << mode;
            EXPECT_EQ(r.consumed, c.consumed) << c.bytes;
        }
    }
    const unsigned char good[] = {0xF0, 0x9F, 0x98, 0x80};
    EXPECT_TRUE(isLegalUTF8(good, 4));
    EXPECT_FALSE(isLegalUTF8(good, 5));
    EXPECT_FALSE(isLegalUTF8Sequence(good, good + 3));
}

TEST(UnicodeTest, LoneSurrogatesDependOnMode)
{
    const std::u16string low = {u'x', char16_t(0xDC00), u'y'};
    EXPECT_EQ(convertedOK(ConvertUTF16toUTF8, low, lenientConversion), u8("x\xed\xb0\x80y"));
    auto strict = convert(ConvertUTF16toUTF8, low, strictConversion);
    EXPECT_EQ(strict.result, sourceIllegal);
    EXPECT_EQ(strict.consumed, 1u);
    EXPECT_EQ(strict.out, u8("x"));

    const std::u16string highThenLetter = {char16_t(0xD800), u'a'};
    EXPECT_EQ(convert(ConvertUTF16toUTF8, highThenLetter, strictConversion).result, sourceIllegal);

    const std::u16string trailingHigh = {u'a', char16_t(0xD83D)};
    for (int mode : {strictConversion, lenientConversion})
    {
        auto r = convert(ConvertUTF16toUTF8, trailingHigh, mode);
        EXPECT_EQ(r.result, sourceExhausted);
        EXPECT_EQ(r.consumed, 1u);
    }

    const std::u32string surrogate32 = {U'a', char32_t(0xD800)};
    auto strict32 = convert(ConvertUTF32toUTF16, surrogate32, strictConversion);
    EXPECT_EQ(strict32.result, sourceIllegal);
    EXPECT_EQ(strict32.consumed, 1u);
    EXPECT_EQ(convertedOK(ConvertUTF32toUTF16, surrogate32, lenientConversion),
              (std::u16string{u'a', replacementCharacter}));
}

TEST(UnicodeTest, TargetExhaustionKeepsProgressAndResumes)
{
    const Bytes in = u8("ab\xf0\x9f\x98\x80"
                        "c");
    // Room for "ab" and half a surrogate pair: the pair must not be split.
    auto first = convert(ConvertUTF8toUTF16, in, lenientConversion, 3);
    EXPECT_EQ(first.result, targetExhausted);
    EXPECT_EQ(first.out, u"ab");
    EXPECT_EQ(first.consumed, 2u);
    auto rest = convert(ConvertUTF8toUTF16, in.substr(first.consumed), lenientConversion);
    EXPECT_EQ(rest.result, conversionOK);
    EXPECT_EQ(first.out + rest.out, u"ab\U0001F600c");

    auto narrow = convert(ConvertUTF16toUTF8, std::u16string(u"a\u20ac"), lenientConversion, 3);
    EXPECT_EQ(narrow.result, targetExhausted);
    EXPECT_EQ(narrow.out, u8("a"));
    EXPECT_EQ(narrow.consumed, 1u);
}

TEST(SplitTest, NumericSplitters)
{
    int count = -1;
    int* time = SplitToArray("12:05", ':', &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(time[1], 5);
    delete[] time;
    int* none = SplitToArray("", ':', &count);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(count, 0);
    delete[] none;

    std::vector<int> ints = {99};
    SplitToIntList("1, 2,x,3", ',', ints);
    EXPECT_EQ(ints, (std::vector<int>{1, 2, 3}));
    SplitToIntList("-5,7,,9", ',', ints); // signs are not digits; empty pieces add nothing
    EXPECT_EQ(ints, (std::vector<int>{7, 9}));
    SplitToIntList(" 1  2", ' ', ints); // white-space skipping stops at a white-space delimiter
    EXPECT_EQ(ints, (std::vector<int>{1, 2}));

    std::vector<double> doubles;
    SplitToDoubleList("1.5e3;-2", ';', doubles);
    EXPECT_EQ(doubles, (std::vector<double>{1500.0, -2.0}));

    // A run longer than the 64-byte work area is cut, never overflowing.
    const std::string longRun = std::string(100, '1') + ":2";
    std::vector<long> longs;
    SplitToLongList(longRun.c_str(), ':', longs);
    ASSERT_EQ(longs.size(), 2u);
    EXPECT_EQ(longs[1], 2);
}

TEST(SplitTest, SplitToListTakesOnlyThePiecesADelimiterEnds)
{
    std::vector<uString> pieces = {uString("stale")};
    SplitToList("x;y", ';', pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_STREQ(pieces[0].c_str(), "x");
    SplitToList("a;;b;", ';', pieces);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_STREQ(pieces[0].c_str(), "a");
    EXPECT_TRUE(pieces[1].isEmpty());
    EXPECT_STREQ(pieces[2].c_str(), "b");
    SplitToList("no delimiter", ';', pieces);
    EXPECT_TRUE(pieces.empty());
    SplitToList("", ';', pieces);
    EXPECT_TRUE(pieces.empty());
}

} // namespace
