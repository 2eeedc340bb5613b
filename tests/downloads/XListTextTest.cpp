#include "downloads/XListText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
// Every character 7 pixels wide, whatever its byte count.
int Measure(const std::string& text)
{
    int characters = 0;
    for (char byte : text)
    {
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80)
            ++characters;
    }
    return characters * 7;
}
} // namespace

TEST(XListTextTest, EllipsisCutsBetweenCharactersAndFits)
{
    EXPECT_EQ(EllipsizeEnd("Progress", 56, Measure), "Progress");
    // 10 characters in 70 pixels: 7 with the dots.
    EXPECT_EQ(EllipsizeEnd("Progress of it", 70, Measure), "Progres...");
    EXPECT_EQ(EllipsizeEnd("Progress of it", 69, Measure), "Progre...");
    // Two-byte characters are never split.
    const std::string umlauts = "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC";
    EXPECT_EQ(EllipsizeEnd(umlauts, 35, Measure), "\xC3\xBC\xC3\xBC...");
    // Not one character fits: as many dots as do.
    EXPECT_EQ(EllipsizeEnd("Progress", 21, Measure), "...");
    EXPECT_EQ(EllipsizeEnd("Progress", 15, Measure), "..");
    EXPECT_EQ(EllipsizeEnd("Progress", 3, Measure), "");
}

TEST(XListTextTest, WrappedLinesFitAndKeepWordsWhole)
{
    const std::string text = "There are no items to show in this view.";
    const std::vector<std::string> lines = WrapWords(text, 100, Measure);
    EXPECT_EQ(lines, (std::vector<std::string>{"There are no", "items to show", "in this view."}));
    EXPECT_EQ(WrapWords(text, 1000, Measure), (std::vector<std::string>{text}));
    // A word wider than the line stands alone, whole; a line break breaks.
    EXPECT_EQ(WrapWords("a averyveryverylongword b\nc", 56, Measure),
              (std::vector<std::string>{"a", "averyveryverylongword", "b", "c"}));
}

TEST(XListTextTest, ToolTipsAreCutToEightyCharacters)
{
    EXPECT_EQ(ToolTipId(0, 0), 1);
    EXPECT_EQ(ToolTipId(3, 4), 3005);
    const std::string short_ = "episode.mp3";
    EXPECT_EQ(std::string(CutToolTip(short_.c_str()).c_str()), short_);
    std::string longName;
    for (int index = 0; index < 90; ++index)
        longName += "\xC3\xA9"; // é, two bytes
    const std::string cut = CutToolTip(longName.c_str()).c_str();
    EXPECT_EQ(cut, longName.substr(0, 160)); // 80 characters, none split
}
