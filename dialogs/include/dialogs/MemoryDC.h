#pragma once

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

/// Paints without flicker: what is drawn through GetDC() goes into a bitmap
/// the size of the target's clip box, in the target's own coordinates, and is
/// copied to the target in one blit when this object goes. A printer gets the
/// drawing straight: it does not flicker, and a page-sized bitmap would only
/// cost memory.
class CMemoryDC
{
public:
    explicit CMemoryDC(wxDC& target);
    ~CMemoryDC();
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    /// Where to draw: the off-screen bitmap, or the printer.
    wxDC& GetDC() { return m_offScreen ? static_cast<wxDC&>(m_memory) : m_target; }
    bool IsOffScreen() const { return m_offScreen; }
    /// The painted rectangle, in the target's coordinates.
    const wxRect& GetRect() const { return m_rect; }

private:
    wxDC& m_target;
    wxBitmap m_bitmap;
    wxMemoryDC m_memory;
    wxRect m_rect;
    bool m_offScreen = false;
};
