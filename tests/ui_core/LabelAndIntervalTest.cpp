#include "dialogs/SubscriptionLogic.h"
#include "mainwindow/FeedLabel.h"

#include <gtest/gtest.h>

using namespace subscription;

TEST(FeedLabelTest, StripsOnlyAnAppendedNonZeroCount)
{
    const struct
    {
        const char* label;
        const char* stripped;
    } cases[] = {
        {"Economy (12)", "Economy"},   {"Economy   (12)  ", "Economy"}, {"Top (news)", "Top (news)"},
        {"Item (0)", "Item (0)"},      {"A (3) b", "A (3) b"},          {"(12)", ""},
        {"Sport (1)(2)", "Sport (1)"}, {"Odd )1(", "Odd )1("},          {"No count", "No count"},
        {"Empty ()", "Empty ()"},      {"Signed (-3)", "Signed (-3)"},  {"Padded (007)", "Padded"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(StripUnreadCount(uString(c.label)).c_str(), c.stripped) << c.label;
}

TEST(FeedLabelTest, CountIsShownOnlyAboveZeroAndStripsBack)
{
    EXPECT_STREQ(FeedLabel(uString("Feed"), 5).c_str(), "Feed (5)");
    EXPECT_STREQ(FeedLabel(uString("Feed"), 0).c_str(), "Feed");
    EXPECT_STREQ(FeedLabel(uString("Feed"), -1).c_str(), "Feed");
    EXPECT_STREQ(StripUnreadCount(FeedLabel(uString("Foo (7)"), 2)).c_str(), "Foo (7)");
    EXPECT_STREQ(NumberedName("New Folder", 0).c_str(), "New Folder");
    EXPECT_STREQ(NumberedName("New Folder", 2).c_str(), "New Folder 2");
}

TEST(IntervalTest, ShownInTheLargestWholeUnit)
{
    const struct
    {
        int minutes;
        int number;
        int unit;
    } cases[] = {
        {0, 0, kUnitMinute},   {-5, -5, kUnitMinute},     {59, 59, kUnitMinute},     {60, 1, kUnitHour},
        {90, 90, kUnitMinute}, {120, 2, kUnitHour},       {1439, 1439, kUnitMinute}, {1380, 23, kUnitHour},
        {1440, 1, kUnitDays},  {1441, 1441, kUnitMinute}, {1500, 1500, kUnitMinute}, {2880, 2, kUnitDays},
    };
    for (const auto& c : cases)
    {
        IntervalDisplay shown = DisplayInterval(c.minutes);
        EXPECT_EQ(shown.number, c.number) << c.minutes;
        EXPECT_EQ(shown.unit, c.unit) << c.minutes;
        EXPECT_EQ(ParseInterval(std::to_string(shown.number).c_str(), shown.unit), c.minutes) << "round trip";
    }
}

TEST(IntervalTest, ParsedAsTyped)
{
    EXPECT_EQ(ParseInterval("3", kUnitDays), 4320);
    EXPECT_EQ(ParseInterval("3", kUnitMinute), 3);
    EXPECT_EQ(ParseInterval("3", kUnitHour), 180);
    EXPECT_EQ(ParseInterval("", kUnitHour), 0);
    EXPECT_EQ(ParseInterval("12x", kUnitMinute), 12);
    EXPECT_EQ(ParseInterval("99999999999", kUnitDays), 0x7FFFFFFF) << "no wrap-around";
    EXPECT_EQ(ParseInterval("5", -1), 5) << "no unit chosen counts as minutes";
}

TEST(OpenUrlDefaultTest, ClipboardAddressOrTheProductSite)
{
    const struct
    {
        const char* clipboard;
        const char* url;
    } cases[] = {
        {"  HTTP://Example.org/Feed.xml \n", "HTTP://Example.org/Feed.xml"},
        {"ftp://files.example.org/a b", "ftp://files.example.org/a b"},
        {"https://x", "https://x"},
        {"two words", kProductWebAddress},
        {"example.org", "example.org"},
        {"example.org/page with blank", kProductWebAddress},
        {"word", kProductWebAddress},
        {"", kProductWebAddress},
        {" \t ", kProductWebAddress},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(DefaultOpenUrl(uString(c.clipboard)).c_str(), c.url) << '"' << c.clipboard << '"';
}
