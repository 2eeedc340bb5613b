#include "downloads/XHeaderLayout.h"

#include <algorithm>

XHeaderLayout LayOutHeader(const std::vector<int>& order, const std::vector<int>& widths, int height,
                           int scrollOffset)
{
    XHeaderLayout layout;
    for (int width : widths)
        layout.totalWidth += std::max(width, 0);
    int left = scrollOffset;
    for (int index : order)
    {
        if (index < 0 || index >= static_cast<int>(widths.size()))
            continue;
        XHeaderPosition position;
        position.index = index;
        position.rect = {left, 0, left + std::max(widths[index], 0), height};
        position.divider = true;
        left = position.rect.right;
        layout.positions.push_back(position);
    }
    if (!layout.positions.empty())
        layout.positions.back().divider = false;
    if (layout.totalWidth > 0)
        layout.frame = {scrollOffset, 0, scrollOffset + layout.totalWidth, height};
    return layout;
}

XHeaderDivider DividerOf(const XListRect& item)
{
    return {item.right - 1, item.right, item.top + 2, item.bottom - 2};
}

bool MeetsHorizontally(const XListRect& item, const XListRect& clip)
{
    return item.right > clip.left && item.left < clip.right;
}

XHeaderItemLayout LayOutHeaderItem(const XListRect& inner, int spacing, const XHeaderItemParts& parts)
{
    XHeaderItemLayout layout;
    XListRect area = inner;
    // Image 0 of the list is never drawn: it stands for "no check box".
    if (parts.imageCount > 0 && parts.image > 0 && parts.image < parts.imageCount && area.Width() >= 1)
    {
        layout.imageShown = true;
        const int top = area.top + (area.Height() - parts.imageHeight) / 2;
        layout.image = {area.left, top, area.left + std::min(parts.imageWidth, area.Width()),
                        top + parts.imageHeight};
        area.left += spacing + parts.imageWidth;
    }
    if (parts.bitmapWidth > 0 && area.Width() >= 1 && parts.bitmapWidth <= area.Width())
    {
        layout.bitmapShown = true;
        const int top = area.top + (area.Height() - parts.bitmapHeight) / 2;
        layout.bitmap = {area.right - parts.bitmapWidth, top, area.right, top + parts.bitmapHeight};
        area.right -= spacing + parts.bitmapWidth;
    }
    layout.text = area;
    return layout;
}
