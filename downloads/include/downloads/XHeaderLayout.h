#pragma once

#include "downloads/XListModel.h"

#include <vector>

// Where the owner-drawn list's header paints its items, without a window.
// Rectangles are in the header's client pixels; right and bottom lie outside.

// One item at its display position.
struct XHeaderPosition
{
    int index = -1; // the column
    XListRect rect;
    bool divider = false; // every position but the last ends with a divider
};

struct XHeaderLayout
{
    std::vector<XHeaderPosition> positions; // in display order
    int totalWidth = 0;                     // of every column, shown or not
    XListRect frame;                        // the outer 3-D frame; empty when totalWidth is 0
};

// The items in display order (indices outside widths are skipped), side by
// side from scrollOffset (0 or less once the list scrolled right).
XHeaderLayout LayOutHeader(const std::vector<int>& order, const std::vector<int>& widths, int height,
                           int scrollOffset);

// A divider's two etched lines, from top to bottom (bottom outside): the
// shadow on the item's last pixel column, the highlight on the next one's
// first.
struct XHeaderDivider
{
    int shadowX = 0;
    int highlightX = 0;
    int top = 0;
    int bottom = 0;
};
XHeaderDivider DividerOf(const XListRect& item);

// Whether an item is to be painted: it meets the clip box horizontally.
bool MeetsHorizontally(const XListRect& item, const XListRect& clip);

// What an item shows, for the layout of its parts.
struct XHeaderItemParts
{
    int image = 0;      // index in the header's image list; 0 is never drawn
    int imageCount = 0; // images in the list, 0 without a list
    int imageWidth = 0; // the recorded size of the list's images
    int imageHeight = 0;
    int bitmapWidth = 0; // 0: no bitmap
    int bitmapHeight = 0;
};

// The parts of one item inside its rectangle less the spacing on each side:
// the image at the left, the bitmap right-aligned after it, the text in what
// is left. A part not shown has shown == false and leaves the others its room.
struct XHeaderItemLayout
{
    bool imageShown = false;
    XListRect image; // where the image goes; drawing is clipped to the item
    bool bitmapShown = false;
    XListRect bitmap;
    XListRect text;
};
XHeaderItemLayout LayOutHeaderItem(const XListRect& inner, int spacing, const XHeaderItemParts& parts);
