#pragma once

#include "downloads/XListModel.h"

#include <algorithm>
#include <wx/gdicmn.h>

// The list's layout works in edge rectangles (right and bottom exclusive);
// the toolkit draws in position-and-size ones.
inline XListRect ToListRect(const wxRect& rect)
{
    return {rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
}

// A rectangle turned inside out comes back empty.
inline wxRect ToWxRect(const XListRect& rect)
{
    return wxRect(rect.left, rect.top, std::max(rect.Width(), 0), std::max(rect.Height(), 0));
}
