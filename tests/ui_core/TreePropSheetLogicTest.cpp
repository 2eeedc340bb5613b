#include "dialogs/TreePropSheetLogic.h"

#include "dialogs/PageFrame.h"

#include <gtest/gtest.h>

namespace
{
using treesheet::PageTree;
using treesheet::SplitCaptionPath;

TEST(TreePropSheetLogicTest, CaptionPathsSplitAtUnescapedSeparators)
{
    struct Case
    {
        const char* path;
        const char* part;
        const char* rest;
        bool last;
    };
    const Case cases[] = {
        {"A::B", "A", "B", false},
        {"::A", "::A", "", true},          // not a separator at position 0
        {"A\\::B", "A\\::B", "", true},    // the last part keeps its backslashes
        {"A\\::B::C", "A::B", "C", false}, // escaped, then the real separator
        {"A\\\\::B", "A\\", "B", false},   // an even run of backslashes escapes nothing
        {"A\\\\\\::B", "A\\\\\\::B", "", true},
        {"Plain", "Plain", "", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        treesheet::CaptionSplit split = SplitCaptionPath(c.path);
        EXPECT_EQ(split.part, c.part);
        EXPECT_EQ(split.rest, c.rest);
        EXPECT_EQ(split.last, c.last);
    }
}

TEST(TreePropSheetLogicTest, PagesSharingAPrefixShareItsNode)
{
    PageTree tree;
    int b = tree.InsertPagePath("A::B", 0, 0);
    int c = tree.InsertPagePath("A::C", 1, 0);
    tree.InsertPagePath("A\\::B::C", 2, 0);
    ASSERT_EQ(tree.Roots().size(), 2u);
    const treesheet::Node& a = tree.Nodes()[tree.Roots()[0]];
    EXPECT_EQ(a.text, "A");
    EXPECT_EQ(a.data, -1);
    EXPECT_EQ(a.image, 0);
    EXPECT_EQ(a.children, (std::vector<int>{b, c}));
    EXPECT_EQ(tree.Nodes()[tree.Roots()[1]].text, "A::B");
    EXPECT_EQ(tree.FindPage(1), c);
    EXPECT_EQ(tree.FindPage(3), -1);
}

TEST(TreePropSheetLogicTest, NextAndPreviousWrapAroundTheTree)
{
    PageTree tree;
    int b = tree.InsertPagePath("A::B", 0, 0);
    int c = tree.InsertPagePath("A::C", 1, 0);
    int d = tree.InsertPagePath("D", 2, 0);
    int a = tree.Nodes()[b].parent;
    EXPECT_EQ(tree.Next(a), b);
    EXPECT_EQ(tree.Next(b), c);
    EXPECT_EQ(tree.Next(c), d); // up to the parent's next sibling
    EXPECT_EQ(tree.Next(d), a); // wraps to the first root
    EXPECT_EQ(tree.Previous(d), c);
    EXPECT_EQ(tree.Previous(b), a);
    EXPECT_EQ(tree.Previous(a), d); // the last root's deepest last descendant

    PageTree nested;
    int x = nested.InsertPagePath("X::Y::Z", 0, 0);
    EXPECT_EQ(nested.Previous(nested.Roots()[0]), x);
}

TEST(PageFrameTest, TheMessageAreaStartsBelowTheCaptionBand)
{
    wxRect client(0, 0, 300, 200);
    EXPECT_EQ(pageframe::CaptionRect(client, true, 24), wxRect(0, 0, 300, 24));
    EXPECT_EQ(pageframe::MessageRect(client, true, 24), wxRect(0, 25, 300, 175));
    EXPECT_EQ(pageframe::CaptionRect(client, false, 24).height, 0);
    EXPECT_EQ(pageframe::MessageRect(client, false, 24), client);
    EXPECT_FALSE(g_themeLib.IsAvailable());
    EXPECT_STREQ(CThemeLib::Describe(), "no styles");
}

TEST(PageFrameTest, TheGradientRunsFromEdgeToEdgeInclusive)
{
    std::vector<wxColour> one = pageframe::GradientColours(wxColour(0, 0, 0), wxColour(255, 255, 255), 1);
    ASSERT_EQ(one.size(), 2u); // a one-pixel band draws two lines
    std::vector<wxColour> band =
        pageframe::GradientColours(wxColour(10, 100, 200), wxColour(20, 100, 100), 4);
    ASSERT_EQ(band.size(), 5u);
    EXPECT_EQ(band.front(), wxColour(10, 100, 200));
    EXPECT_EQ(band[1], wxColour(12, 100, 175));
    EXPECT_EQ(band.back(), wxColour(20, 100, 100));
}
} // namespace
