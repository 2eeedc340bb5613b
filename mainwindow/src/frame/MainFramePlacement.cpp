#include "mainwindow/MainFrame.h"

void CMainFrame::PlaceAt(const wxRect& rect)
{
    // Before the window manager has reported its frame the toolkit takes the
    // size for the window alone and adds the frame once it knows it; after,
    // the size given must hold the frame.
    SetSize(wxRect(rect.GetPosition(), rect.GetSize() + FrameExtents()));
}

wxSize CMainFrame::FrameExtents() const
{
#ifdef __WXGTK__
    return wxSize(m_decorSize.left + m_decorSize.right, m_decorSize.top + m_decorSize.bottom);
#else
    return wxSize();
#endif
}
