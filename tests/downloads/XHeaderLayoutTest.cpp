#include "downloads/XHeaderLayout.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
std::vector<int> Indices(const XHeaderLayout& layout)
{
    std::vector<int> indices;
    for (const XHeaderPosition& position : layout.positions)
        indices.push_back(position.index);
    return indices;
}
} // namespace

// Items rearranged by dragging lie side by side in display order, the last
// displayed one without a divider; the frame spans every width from the
// scrolled origin.
TEST(XHeaderLayoutTest, ItemsFollowTheDisplayOrder)
{
    const XHeaderLayout layout = LayOutHeader({2, 0, 1}, {40, 100, 60}, 24, -15);
    EXPECT_EQ(Indices(layout), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(layout.positions[0].rect.left, -15);
    EXPECT_EQ(layout.positions[0].rect.right, 45);
    EXPECT_EQ(layout.positions[1].rect.left, 45);
    EXPECT_EQ(layout.positions[2].rect.right, 185);
    EXPECT_EQ(layout.positions[2].rect.bottom, 24);
    EXPECT_TRUE(layout.positions[0].divider);
    EXPECT_TRUE(layout.positions[1].divider);
    EXPECT_FALSE(layout.positions[2].divider);
    EXPECT_EQ(layout.totalWidth, 200);
    EXPECT_EQ(layout.frame.left, -15);
    EXPECT_EQ(layout.frame.right, 185);

    // An order naming a column that is gone skips it; no columns, no frame.
    EXPECT_EQ(Indices(LayOutHeader({0, 5, 1}, {10, 20}, 24, 0)), (std::vector<int>{0, 1}));
    const XHeaderLayout empty = LayOutHeader({}, {}, 24, 0);
    EXPECT_TRUE(empty.positions.empty());
    EXPECT_EQ(empty.frame.Width(), 0);
}

TEST(XHeaderLayoutTest, ImageZeroIsNeverLaidOut)
{
    XHeaderItemParts parts;
    parts.imageCount = 3;
    parts.imageWidth = 16;
    parts.imageHeight = 16;
    const XListRect inner{6, 0, 94, 24};

    parts.image = 0;
    XHeaderItemLayout layout = LayOutHeaderItem(inner, 6, parts);
    EXPECT_FALSE(layout.imageShown);
    EXPECT_EQ(layout.text.left, 6);

    // Image 1 sits at the left, centred by its height; the text starts a
    // spacing after it.
    parts.image = 1;
    layout = LayOutHeaderItem(inner, 6, parts);
    ASSERT_TRUE(layout.imageShown);
    EXPECT_EQ(layout.image.left, 6);
    EXPECT_EQ(layout.image.top, 4);
    EXPECT_EQ(layout.text.left, 6 + 6 + 16);
    EXPECT_EQ(layout.text.right, 94);

    // No list, or an index past its end: nothing.
    parts.image = 3;
    EXPECT_FALSE(LayOutHeaderItem(inner, 6, parts).imageShown);
    parts.image = 1;
    parts.imageCount = 0;
    EXPECT_FALSE(LayOutHeaderItem(inner, 6, parts).imageShown);

    // An image wider than a narrow item is clipped to it.
    parts.imageCount = 3;
    layout = LayOutHeaderItem({6, 0, 16, 24}, 6, parts);
    ASSERT_TRUE(layout.imageShown);
    EXPECT_EQ(layout.image.right, 16);
}

TEST(XHeaderLayoutTest, BitmapIsRightAlignedAfterTheImageWhenItFits)
{
    XHeaderItemParts parts;
    parts.image = 2;
    parts.imageCount = 3;
    parts.imageWidth = 16;
    parts.imageHeight = 16;
    parts.bitmapWidth = 10;
    parts.bitmapHeight = 8;
    XHeaderItemLayout layout = LayOutHeaderItem({6, 0, 94, 24}, 6, parts);
    ASSERT_TRUE(layout.bitmapShown);
    EXPECT_EQ(layout.bitmap.right, 94);
    EXPECT_EQ(layout.bitmap.left, 84);
    EXPECT_EQ(layout.bitmap.top, 8);
    EXPECT_EQ(layout.text.left, 28);
    EXPECT_EQ(layout.text.right, 94 - 6 - 10);

    // Too wide for what the image leaves: no bitmap, the text keeps the room.
    layout = LayOutHeaderItem({6, 0, 36, 24}, 6, parts);
    EXPECT_FALSE(layout.bitmapShown);
    EXPECT_EQ(layout.text.right, 36);
}
