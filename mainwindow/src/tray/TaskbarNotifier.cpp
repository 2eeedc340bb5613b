#include "mainwindow/TaskbarNotifier.h"

#include "mainwindow/NotifierText.h"
#include "common/ResourceImages.h"
#include "mainwindow/WindowMessage.h"

#include <wx/dcbuffer.h>

#include <algorithm>
#include <wx/display.h>
#include <wx/region.h>

namespace
{
// Key colour components outside a byte mean no transparent colour.
bool IsKeyComponent(int value)
{
    return value >= 0 && value <= 255;
}

wxFont MakeFont(const wxString& faceName, int size, int style)
{
    return wxFont(wxFontInfo(size / 10.0)
                      .FaceName(faceName)
                      .Bold((style & CTaskbarNotifier::kBold) != 0)
                      .Italic((style & CTaskbarNotifier::kItalic) != 0)
                      .Underlined((style & CTaskbarNotifier::kUnderline) != 0));
}
} // namespace

CTaskbarNotifier::CTaskbarNotifier() = default;

CTaskbarNotifier::~CTaskbarNotifier()
{
    for (wxTimer& timer : m_timers)
        timer.Stop();
}

bool CTaskbarNotifier::Create(wxWindow* parent)
{
    // No taskbar entry, above other windows, never activated by showing.
    const long style =
        wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW | wxSTAY_ON_TOP | wxFRAME_SHAPED;
    if (!wxFrame::Create(parent, wxID_ANY, wxString(), wxPoint(0, 0), wxSize(1, 1), style))
        return false;
    m_owner = parent;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetCursor(wxCursor(wxCURSOR_HAND));
    for (int i = 0; i < 3; ++i)
        m_timers[i].SetOwner(this, notifier::Animator::kAppearTimer + i);
    Bind(wxEVT_PAINT, &CTaskbarNotifier::OnPaint, this);
    Bind(wxEVT_TIMER, &CTaskbarNotifier::OnTimer, this);
    Bind(wxEVT_ENTER_WINDOW, &CTaskbarNotifier::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CTaskbarNotifier::OnLeave, this);
    Bind(wxEVT_LEFT_UP, &CTaskbarNotifier::OnLeftUp, this);
    return true;
}

bool CTaskbarNotifier::SetSkin(int bitmapId, int red, int green, int blue)
{
    wxBitmap skin = ui::LoadResourceBitmap(bitmapId);
    if (!skin.IsOk())
        return false;
    m_skin = skin;
    m_textRect = wxRect(0, 0, skin.GetWidth(), skin.GetHeight());
    m_animator.SetSkinSize(skin.GetWidth(), skin.GetHeight());
    SetSize(skin.GetSize());
    if (IsKeyComponent(red) && IsKeyComponent(green) && IsKeyComponent(blue))
        SetShape(wxRegion(skin, wxColour(red, green, blue)));
    else
        SetShape(wxRegion());
    return true;
}

void CTaskbarNotifier::SetTextFont(const wxString& faceName, int size, int normalStyle, int hoverStyle)
{
    m_normalFont = MakeFont(faceName, size, normalStyle);
    m_hoverFont = MakeFont(faceName, size, hoverStyle);
}

void CTaskbarNotifier::SetTextColor(const wxColour& normal, const wxColour& hover)
{
    m_normalColour = normal;
    m_hoverColour = hover;
    Redraw();
}

void CTaskbarNotifier::SetTextRect(int left, int top, int right, int bottom)
{
    m_textRect = wxRect(left, top, right - left, bottom - top);
}

void CTaskbarNotifier::Show(const wxString& text, long value, int timeToAppear, int timeToStay,
                            int timeToDisappear)
{
    m_text = text;
    m_value = value;
    // The primary screen, whose work area leaves out the desktop's panels.
    wxDisplay display;
    wxRect work = display.GetClientArea();
    wxRect screen = display.GetGeometry();
    notifier::Area workArea{work.x, work.y, work.x + work.width, work.y + work.height};
    m_animator.Show(workArea, screen.width, screen.height, timeToAppear, timeToStay, timeToDisappear);
}

bool CTaskbarNotifier::Show(bool show)
{
    if (show)
        return wxFrame::Show(true);
    bool wasShown = IsShown();
    m_animator.Hide();
    return wasShown;
}

void CTaskbarNotifier::StartTimer(int id, int milliseconds)
{
    m_timers[id - notifier::Animator::kAppearTimer].Start(milliseconds);
}

void CTaskbarNotifier::StopTimer(int id)
{
    m_timers[id - notifier::Animator::kAppearTimer].Stop();
}

void CTaskbarNotifier::ShowWindow()
{
    ShowWithoutActivating();
}

void CTaskbarNotifier::HideWindow()
{
    wxFrame::Show(false);
    m_hovering = false;
}

void CTaskbarNotifier::PlaceWindow(int x, int y, int width, int height)
{
    SetSize(x, y, width, height, wxSIZE_ALLOW_MINUS_ONE);
}

void CTaskbarNotifier::Redraw()
{
    Refresh();
    Update();
}

void CTaskbarNotifier::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    if (m_skin.IsOk())
        dc.DrawBitmap(m_skin, 0, 0, /*useMask=*/false);
    else
        dc.Clear();
    if (m_text.empty() || m_textRect.IsEmpty())
        return;

    const wxFont& font = m_hovering ? m_hoverFont : m_normalFont;
    if (font.IsOk())
        dc.SetFont(font);
    dc.SetTextForeground(m_hovering ? m_hoverColour : m_normalColour);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    wxDCClipper clip(dc, m_textRect);
    const int lineHeight = std::max(1, dc.GetCharHeight());
    std::vector<std::string> lines = notifier::LayoutText(
        m_text.utf8_string(), m_textRect.width, m_textRect.height / lineHeight,
        [&dc](std::string_view piece)
        { return dc.GetTextExtent(wxString::FromUTF8(piece.data(), piece.size())).GetWidth(); });
    int y = m_textRect.y;
    for (const std::string& line : lines)
    {
        dc.DrawText(wxString::FromUTF8(line), m_textRect.x, y);
        y += lineHeight;
    }
}

void CTaskbarNotifier::OnTimer(wxTimerEvent& event)
{
    m_animator.OnTimer(event.GetId());
}

void CTaskbarNotifier::OnEnter(wxMouseEvent& event)
{
    if (!m_hovering)
    {
        m_hovering = true;
        Redraw();
    }
    event.Skip();
}

void CTaskbarNotifier::OnLeave(wxMouseEvent& event)
{
    if (m_hovering)
    {
        m_hovering = false;
        Redraw();
    }
    event.Skip();
}

void CTaskbarNotifier::OnLeftUp(wxMouseEvent& event)
{
    // Posted, not sent: restoring the main window must not run inside this
    // window's mouse handling.
    if (m_owner != nullptr)
        ui::PostWindowMessage(m_owner->GetEventHandler(), WM_APP_RESTOREWINDOW, 0, m_value);
    event.Skip();
}
