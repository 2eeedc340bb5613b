#pragma once

#include <chrono>
#include <wx/bitmap.h>
#include <wx/statusbr.h>
#include <wx/timer.h>

/// The main frame's status bar: pane 0 holds the message text, panes 1 to 3
/// the lock-key indicators, and pane 4 a 16 by 16 image telling whether the
/// page in the browser pane offers feeds.
class XStatusBar : public wxStatusBar
{
public:
    static constexpr int kPaneCount = 5;
    static constexpr int kIndicatorPane = 4;

    /// Indicator states: feeds found in the page, the initial state, no feeds.
    static constexpr int kFeedsFound = 0;
    static constexpr int kIndicatorIdle = 1;
    static constexpr int kNoFeeds = 2;

    explicit XStatusBar(wxWindow* parent, wxWindowID id = wxID_ANY);

    /// Shows the image of a state; a state outside 0 to 2, or the current
    /// one, changes nothing.
    void SetIndicator(int state);
    int GetIndicator() const { return m_indicatorState; }

    /// The bar's own text is the text of the message pane.
    void SetLabel(const wxString& text) override;
    wxString GetLabel() const override;

    /// The message pane is painted at most once per this pause; a text set
    /// sooner is kept and painted when the pause ends, unless a newer one
    /// replaced it by then. The lock keys are read as seldom.
    static constexpr std::chrono::milliseconds kPaintPause{250};

protected:
    void DrawField(wxDC& dc, int i, int textHeight) override;
    void DoUpdateStatusText(int number) override;

private:
    using Clock = std::chrono::steady_clock;

    void PaintMessage(Clock::time_point now);
    void OnIdle(wxIdleEvent& event);
    void PollLockKeys(Clock::time_point now);
    void UpdateLockKeys();

    Clock::time_point m_messagePainted;
    bool m_messagePending = false;
    wxTimer m_messageTimer; // its own owner: its events go to it, not to the bar
    Clock::time_point m_keysPolled;
    bool m_keysPolledByTimer = false;
    wxTimer m_keysTimer;

    int m_indicatorState = kIndicatorIdle;
    wxBitmap m_indicators[3];
    bool m_lockKeyShown[3] = {false, false, false};
};
