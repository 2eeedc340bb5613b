#include "dialogs/PageFrame.h"

#include <cstdlib>
#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/settings.h>

const CThemeLib g_themeLib;

namespace pageframe
{
wxRect CaptionRect(const wxRect& client, bool showCaption, int height)
{
    return wxRect(client.x, client.y, client.width, showCaption ? height : 0);
}

wxRect MessageRect(const wxRect& client, bool showCaption, int height)
{
    if (!showCaption)
        return client;
    int top = client.y + height + 1;
    return wxRect(client.x, top, client.width, std::max(0, client.GetBottom() + 1 - top));
}

std::vector<wxColour> GradientColours(const wxColour& left, const wxColour& right, int width)
{
    std::vector<wxColour> colours;
    double step[3] = {0, 0, 0};
    if (width > 0)
    {
        step[0] = (right.Red() - left.Red()) / static_cast<double>(width);
        step[1] = (right.Green() - left.Green()) / static_cast<double>(width);
        step[2] = (right.Blue() - left.Blue()) / static_cast<double>(width);
    }
    double red = left.Red();
    double green = left.Green();
    double blue = left.Blue();
    for (int column = 0; column <= width; ++column)
    {
        colours.emplace_back(static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                             static_cast<unsigned char>(blue));
        red += step[0];
        green += step[1];
        blue += step[2];
    }
    return colours;
}
} // namespace pageframe

void CPageFrame::ShowCaption(bool show)
{
    m_showCaption = show;
    Invalidate(GetCaptionRect());
}

void CPageFrame::SetCaptionHeight(int height)
{
    m_captionHeight = height;
    Invalidate(GetCaptionRect());
}

void CPageFrame::SetCaption(const wxString& text, const wxBitmap& icon)
{
    m_caption = text;
    m_icon = icon;
    Invalidate(GetCaptionRect());
}

void CPageFrame::SetMsgText(const wxString& text)
{
    m_msgText = text;
    Invalidate(GetMsgRect());
}

void CPageFrame::SetMsgFormat(int format)
{
    m_msgFormat = format;
    Invalidate(GetMsgRect());
}

void CPageFrame::Draw(wxDC& dc)
{
    if (m_showCaption)
        DrawCaption(dc, GetCaptionRect(), m_caption, m_icon);
    DrawMsg(dc, GetMsgRect(), m_msgText, m_msgFormat);
}

wxRect CPageFrame::GetMsgRect()
{
    return pageframe::MessageRect(ClientRect(), m_showCaption, m_captionHeight);
}

void CPageFrame::DrawMsg(wxDC& dc, const wxRect& rect, const wxString& text, int format)
{
    if (text.empty())
        return;
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
    wxString line = text;
    line.Replace("\n", " ");
    dc.DrawLabel(line, rect, format);
}

wxRect CPageFrame::GetCaptionRect()
{
    return pageframe::CaptionRect(ClientRect(), m_showCaption, m_captionHeight);
}

void CPageFrame::DrawCaption(wxDC&, const wxRect&, const wxString&, const wxBitmap&) {}

wxRect CPageFrame::ClientRect()
{
    wxWindow* window = GetWnd();
    return window != nullptr && window->GetHandle() != nullptr ? window->GetClientRect() : wxRect();
}

void CPageFrame::Invalidate(const wxRect& rect)
{
    wxWindow* window = GetWnd();
    if (window != nullptr && window->GetHandle() != nullptr)
        window->RefreshRect(rect, true);
}

bool CPageFrameWnd::Create(long style, const wxRect& rect, wxWindow* parent, int id)
{
    if (!wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize(), style | wxFULL_REPAINT_ON_RESIZE,
                          "Page Frame"))
        return false;
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    SetCursor(wxCursor(wxCURSOR_ARROW));
    Bind(wxEVT_PAINT, &CPageFrameWnd::OnPaint, this);
    return true;
}

void CPageFrameWnd::SetCaption(const wxString& text, const wxBitmap& icon)
{
    // Our own copy of the icon, so that the caller may drop theirs.
    CPageFrame::SetCaption(text, icon.IsOk() ? wxBitmap(icon.ConvertToImage()) : wxBitmap());
}

namespace
{
int Luminance(const wxColour& colour)
{
    return (colour.Red() * 299 + colour.Green() * 587 + colour.Blue() * 114) / 1000;
}

// GTK themes often give the active caption nearly the button face's colour,
// which would leave the band invisible: the selection colours then stand in.
bool CaptionColoursTooPale()
{
    return std::abs(Luminance(wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION)) -
                    Luminance(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE))) < 64;
}
} // namespace

wxColour CPageFrameWnd::LeftColour()
{
    return wxSystemSettings::GetColour(CaptionColoursTooPale() ? wxSYS_COLOUR_HIGHLIGHT
                                                               : wxSYS_COLOUR_ACTIVECAPTION);
}

wxColour CPageFrameWnd::TextColour()
{
    return wxSystemSettings::GetColour(CaptionColoursTooPale() ? wxSYS_COLOUR_HIGHLIGHTTEXT
                                                               : wxSYS_COLOUR_CAPTIONTEXT);
}

wxColour CPageFrameWnd::RightColour()
{
    // The pixel at the band's right end is the erased background: button face.
    return wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
}

void CPageFrameWnd::DrawCaption(wxDC& dc, const wxRect& rect, const wxString& text, const wxBitmap& icon)
{
    std::vector<wxColour> colours = pageframe::GradientColours(LeftColour(), RightColour(), rect.width);
    for (size_t column = 0; column < colours.size(); ++column)
    {
        dc.SetPen(wxPen(colours[column], 1));
        int x = rect.x + static_cast<int>(column);
        dc.DrawLine(x, rect.y, x, rect.y + rect.height);
    }
    int textLeft = rect.x;
    if (icon.IsOk())
    {
        dc.DrawBitmap(icon, 3, (rect.GetTop() + rect.GetBottom()) / 2 - icon.GetHeight() / 2, true);
        textLeft += icon.GetWidth() + 3;
    }
    textLeft += 2;
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    dc.SetFont(font);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(TextColour());
    wxRect textRect(textLeft, rect.y, std::max(0, rect.GetRight() - textLeft), rect.height);
    wxString shown = wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, textRect.width);
    dc.DrawLabel(shown, textRect, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
}

void CPageFrameWnd::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    Draw(dc);
}
