#pragma once

#include <wx/bitmap.h>

namespace ui
{
/// The compiled-in PNG with that resource id (resources/images), with its
/// alpha channel; an invalid bitmap when there is no such image.
wxBitmap LoadResourceBitmap(int id);
} // namespace ui
