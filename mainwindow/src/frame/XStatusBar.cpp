#include "mainwindow/XStatusBar.h"

#include "StringTable.h"
#include "common/ResourceImages.h"

#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/utils.h>

namespace
{
// Three 16 by 16 images side by side, one per indicator state.
constexpr int kIndicatorBitmapId = 248;
constexpr int kIndicatorSize = 16;
// Wide enough for the whole image plus the pane's border.
constexpr int kIndicatorPaneWidth = kIndicatorSize + 6;

struct LockKey
{
    wxKeyCode key;
    int stringId;
};
constexpr LockKey kLockKeys[3] = {{WXK_CAPITAL, 59137}, {WXK_NUMLOCK, 59138}, {WXK_SCROLL, 59139}};

// Milliseconds from now to the end of the pause that began at since; at least
// one, as a timer of 0 would not wait at all.
int MillisecondsLeft(std::chrono::steady_clock::time_point since, std::chrono::steady_clock::time_point now)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(since + XStatusBar::kPaintPause - now);
    return left.count() > 0 ? static_cast<int>(left.count()) : 1;
}

wxString LockKeyText(int pane)
{
    std::string_view text = resources::FindString(kLockKeys[pane].stringId);
    return wxString::FromUTF8(text.data(), text.size());
}
} // namespace

XStatusBar::XStatusBar(wxWindow* parent, wxWindowID id) : wxStatusBar(parent, id)
{
    wxBitmap strip = ui::LoadResourceBitmap(kIndicatorBitmapId);
    if (strip.IsOk() && strip.GetWidth() >= 3 * kIndicatorSize && strip.GetHeight() >= kIndicatorSize)
    {
        for (int i = 0; i < 3; ++i)
        {
            // Each image stands on white, whatever colour the bar's face has.
            m_indicators[i] = wxBitmap(kIndicatorSize, kIndicatorSize, 24);
            wxMemoryDC dc(m_indicators[i]);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            dc.DrawBitmap(strip.GetSubBitmap(wxRect(i * kIndicatorSize, 0, kIndicatorSize, kIndicatorSize)),
                          0, 0, /*useMask=*/true);
        }
    }

    int widths[kPaneCount] = {-1, 0, 0, 0, kIndicatorPaneWidth};
    for (int pane = 0; pane < 3; ++pane)
        widths[pane + 1] = GetTextExtent(LockKeyText(pane)).GetWidth() + 2 * GetBorderX() + 12;
    SetFieldsCount(kPaneCount, widths);
    SetMinHeight(kIndicatorSize + 2 * GetBorderY());

    // The lock-key panes follow the keyboard as the frame's idle time comes.
    Bind(wxEVT_IDLE, &XStatusBar::OnIdle, this);
    m_messageTimer.Bind(wxEVT_TIMER,
                        [this](wxTimerEvent&)
                        {
                            if (m_messagePending)
                                PaintMessage(Clock::now());
                        });
    m_keysTimer.Bind(wxEVT_TIMER,
                     [this](wxTimerEvent&)
                     {
                         PollLockKeys(Clock::now());
                         m_keysPolledByTimer = true;
                     });
}

void XStatusBar::DoUpdateStatusText(int number)
{
    if (number != 0)
    {
        wxStatusBar::DoUpdateStatusText(number);
        return;
    }
    // An update pass sets a text per feed, thousands a second, and each paint
    // waits for the X server: paint the first text of a burst at once (a
    // long step of this thread may follow it), and then only the newest text
    // once per pause.
    Clock::time_point now = Clock::now();
    if (now - m_messagePainted >= kPaintPause)
    {
        PaintMessage(now);
        return;
    }
    m_messagePending = true;
    if (!m_messageTimer.IsRunning())
        m_messageTimer.StartOnce(MillisecondsLeft(m_messagePainted, now));
}

void XStatusBar::PaintMessage(Clock::time_point now)
{
    m_messageTimer.Stop();
    m_messagePending = false;
    m_messagePainted = now;
    wxStatusBar::DoUpdateStatusText(0);
}

void XStatusBar::OnIdle(wxIdleEvent& event)
{
    event.Skip();
    // Every posted message ends in idle time, and reading the lock keys asks
    // the X server three times: read them once per pause, and make up a
    // skipped reading by the timer. The idle time that follows the timer's
    // own reading must not start the timer again.
    if (m_keysPolledByTimer)
    {
        m_keysPolledByTimer = false;
        return;
    }
    Clock::time_point now = Clock::now();
    if (now - m_keysPolled >= kPaintPause)
        PollLockKeys(now);
    else if (!m_keysTimer.IsRunning())
        m_keysTimer.StartOnce(MillisecondsLeft(m_keysPolled, now));
}

void XStatusBar::PollLockKeys(Clock::time_point now)
{
    m_keysTimer.Stop();
    m_keysPolled = now;
    UpdateLockKeys();
}

void XStatusBar::SetIndicator(int state)
{
    if (state < kFeedsFound || state > kNoFeeds || state == m_indicatorState)
        return;
    m_indicatorState = state;
    wxRect rect;
    if (GetFieldRect(kIndicatorPane, rect))
        RefreshRect(rect, /*eraseBackground=*/true);
}

void XStatusBar::SetLabel(const wxString& text)
{
    SetStatusText(text, 0);
}

wxString XStatusBar::GetLabel() const
{
    return GetStatusText(0);
}

void XStatusBar::DrawField(wxDC& dc, int i, int textHeight)
{
    wxStatusBar::DrawField(dc, i, textHeight);
    if (i != kIndicatorPane)
        return;
    const wxBitmap& image = m_indicators[m_indicatorState];
    wxRect rect;
    if (!image.IsOk() || !GetFieldRect(i, rect))
        return;
    dc.DrawBitmap(image, rect.x + (rect.width - image.GetWidth()) / 2,
                  rect.y + (rect.height - image.GetHeight()) / 2, /*useMask=*/false);
}

void XStatusBar::UpdateLockKeys()
{
    for (int pane = 0; pane < 3; ++pane)
    {
        bool on = wxGetKeyState(kLockKeys[pane].key);
        if (on == m_lockKeyShown[pane])
            continue;
        m_lockKeyShown[pane] = on;
        SetStatusText(on ? LockKeyText(pane) : wxString(), pane + 1);
    }
}
