#pragma once

#include <cstdint>
#include <wx/event.h>

// Private messages to the main frame, by their numbers.
inline constexpr unsigned WM_APP = 0x8000;
inline constexpr unsigned WM_APP_RESTOREWINDOW = WM_APP + 37;

namespace ui
{
/// A private window message carried as a wx event, so that the main frame
/// handles every message in one place by its number. Safe to queue from any
/// thread.
class CWindowMessageEvent : public wxThreadEvent
{
public:
    CWindowMessageEvent(unsigned message = 0, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    unsigned Message() const { return m_message; }
    std::uintptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }

    wxEvent* Clone() const override { return new CWindowMessageEvent(*this); }

private:
    unsigned m_message;
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
};

wxDECLARE_EVENT(EVT_WINDOW_MESSAGE, CWindowMessageEvent);

/// Handled by the target before the call returns (UI thread only); true when
/// a handler took it.
bool SendWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

/// Queued for the target's next turn of the event loop; callable from any thread.
void PostWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
} // namespace ui
