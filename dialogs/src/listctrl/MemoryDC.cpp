#include "dialogs/MemoryDC.h"

#include <wx/dcprint.h>

namespace
{
bool IsPrinting(const wxDC& dc)
{
#if wxUSE_PRINTING_ARCHITECTURE
    return wxDynamicCast(&dc, wxPrinterDC) != nullptr;
#else
    return false;
#endif
}
} // namespace

CMemoryDC::CMemoryDC(wxDC& target) : m_target(target)
{
    if (IsPrinting(target))
        return;
    target.GetClippingBox(m_rect);
    if (m_rect.IsEmpty())
        return; // nothing to paint: drawing goes to the target, where it is clipped away
    m_bitmap.Create(m_rect.width, m_rect.height, target);
    m_memory.SelectObject(m_bitmap);
    if (!m_memory.IsOk())
        return;
    // The target's coordinates hold: its clip box's corner is the bitmap's origin.
    m_memory.SetDeviceOrigin(-m_rect.x, -m_rect.y);
    m_memory.SetFont(target.GetFont());
    m_offScreen = true;
}

CMemoryDC::~CMemoryDC()
{
    if (!m_offScreen)
        return;
    m_target.Blit(m_rect.x, m_rect.y, m_rect.width, m_rect.height, &m_memory, m_rect.x, m_rect.y);
    m_memory.SelectObject(wxNullBitmap);
}
