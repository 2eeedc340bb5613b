#include "FrameOnScreen.h"
#include "mainwindow/MainFrame.h"

void CMainFrame::PlaceAt(const wxRect& rect)
{
    // Before the window manager has reported its frame the toolkit takes the
    // size for the window alone and adds the frame once it knows it; after,
    // the size given must hold the frame.
    SetSize(wxRect(rect.GetPosition(), rect.GetSize() + FrameExtents()));
}

wxRect CMainFrame::RectInsideFrame() const
{
    wxRect rect;
    RectOnScreen(rect);
    return rect;
}

bool CMainFrame::RectOnScreen(wxRect& rect) const
{
    // The toolkit's size holds the window manager's frame once it has been
    // reported, which may come only after the window showed, or never: the
    // frame's size is left out, so that what is stored does not depend on
    // when it came. The frame's corner is taken where the screen has it, so
    // that it does not depend on how the window was last shown either.
    int x = 0, y = 0;
    const bool onScreen = FrameCornerOnScreen(GetHandle(), x, y);
    rect = wxRect(onScreen ? wxPoint(x, y) : GetPosition(), GetSize() - FrameExtents());
    return onScreen;
}

wxSize CMainFrame::FrameExtents() const
{
#ifdef __WXGTK__
    return wxSize(m_decorSize.left + m_decorSize.right, m_decorSize.top + m_decorSize.bottom);
#else
    return wxSize();
#endif
}
