#include "mainwindow/NotifierText.h"

#include <gtest/gtest.h>

using notifier::LayoutText;
using Lines = std::vector<std::string>;

namespace
{
// Every character is 10 pixels wide, however many bytes it takes.
int Measure(std::string_view text)
{
    int characters = 0;
    for (unsigned char c : text)
        characters += (c & 0xC0) != 0x80;
    return characters * 10;
}
} // namespace

TEST(NotifierText, WrapsBetweenWordsAndAtLineFeeds)
{
    EXPECT_EQ(LayoutText("one two three four", 100, 10, Measure), (Lines{"one two", "three four"}));
    EXPECT_EQ(LayoutText("First title\nSecond title\nThird title\n", 200, 10, Measure),
              (Lines{"First title", "Second title", "Third title"}));
    EXPECT_EQ(LayoutText("a\r\n\r\nb", 100, 10, Measure), (Lines{"a", "", "b"})) << "empty lines inside stay";
}

TEST(NotifierText, BreaksAWordWiderThanTheBoxBetweenCharacters)
{
    EXPECT_EQ(LayoutText("http://127.0.0.1/feed abc", 60, 10, Measure),
              (Lines{"http:/", "/127.0", ".0.1/f", "eed", "abc"}));
    // Multi-byte characters are never cut.
    EXPECT_EQ(LayoutText("ÄÖÜäöü", 30, 10, Measure), (Lines{"ÄÖÜ", "äöü"}));
    EXPECT_EQ(LayoutText("wide", 5, 10, Measure), (Lines{"w", "i", "d", "e"}))
        << "one character per line at least";
}

TEST(NotifierText, EndsTheLastVisibleLineWithAnEllipsisWhenTextIsLeftOver)
{
    Lines lines = LayoutText("one two three four five six", 100, 2, Measure);
    EXPECT_EQ(lines, (Lines{"one two", "three f..."}));
    EXPECT_LE(Measure(lines[1]), 100);

    EXPECT_EQ(LayoutText("a\nb\nc\n", 100, 3, Measure), (Lines{"a", "b", "c"}))
        << "a final line feed is no more text";
    EXPECT_EQ(LayoutText("abcdefghij\nnext", 100, 1, Measure), (Lines{"abcdefg..."}));
    EXPECT_EQ(LayoutText("a\nb", 100, 0, Measure), (Lines{"a..."})) << "one line shows at least";
}
