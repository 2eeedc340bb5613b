#pragma once

#include "mainwindow/NotifierAnimator.h"

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/timer.h>

/// The pop-up that announces new items while the main window is hidden: a
/// borderless window painted with a skin, sliding out from the edge of the
/// work area next to the taskbar, staying a while and sliding back. A click
/// posts WM_APP_RESTOREWINDOW to the parent with the value given to Show.
class CTaskbarNotifier : public wxFrame, private notifier::AnimationHost
{
public:
    /// Font styles of SetTextFont, combined as bits.
    static constexpr int kBold = 1;
    static constexpr int kItalic = 2;
    static constexpr int kUnderline = 4;

    CTaskbarNotifier();
    ~CTaskbarNotifier() override;

    /// Creates the hidden pop-up; it lives as long as the parent.
    bool Create(wxWindow* parent);

    /// The skin is image bitmapId; the window takes its size and the text its
    /// whole area. With red, green and blue all within 0 to 255, pixels of
    /// exactly that colour are cut out of the window. False, keeping the
    /// previous skin, when there is no such image.
    bool SetSkin(int bitmapId, int red = -1, int green = -1, int blue = -1);
    /// size in tenths of a point; the styles are kBold, kItalic, kUnderline bits.
    void SetTextFont(const wxString& faceName, int size, int normalStyle, int hoverStyle);
    void SetTextColor(const wxColour& normal, const wxColour& hover);
    /// Right and bottom lie just outside the text.
    void SetTextRect(int left, int top, int right, int bottom);

    /// Shows text for the times given in milliseconds; while already shown,
    /// replaces the text and starts the stay over.
    void Show(const wxString& text, long value, int timeToAppear, int timeToStay, int timeToDisappear);
    using wxFrame::Show;
    /// Show(false), and so Hide(), also ends the animation.
    bool Show(bool show = true) override;

    notifier::State GetState() const { return m_animator.GetState(); }
    const notifier::Animator& GetAnimator() const { return m_animator; }
    const wxString& GetText() const { return m_text; }
    const wxRect& GetTextRect() const { return m_textRect; }
    bool IsHovering() const { return m_hovering; }

private:
    void StartTimer(int id, int milliseconds) override;
    void StopTimer(int id) override;
    void ShowWindow() override;
    void HideWindow() override;
    void PlaceWindow(int x, int y, int width, int height) override;
    void Redraw() override;

    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);

    wxWindow* m_owner = nullptr;
    long m_value = 0;
    wxFont m_normalFont;
    wxFont m_hoverFont;
    wxColour m_normalColour{133, 146, 181};
    wxColour m_hoverColour{10, 36, 106};
    wxBitmap m_skin;
    wxRect m_textRect;
    wxString m_text;
    bool m_hovering = false;
    wxTimer m_timers[3];
    notifier::Animator m_animator{*this};
};
