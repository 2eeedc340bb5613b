#pragma once

#include "foundation/uString.h"
#include "common/Messages.h"

#include <cstdint>
#include <optional>
#include <wx/event.h>

namespace ui
{
/// A private window message carried as a wx event, so that the main frame
/// handles every message in one place by its number. Safe to queue from any
/// thread.
class CWindowMessageEvent : public wxThreadEvent
{
public:
    CWindowMessageEvent(unsigned message = 0, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    /// A message posted through the window-message layer (foundation/uMessage.h).
    explicit CWindowMessageEvent(uWindowMessage message);

    unsigned Message() const { return m_message; }
    std::uintptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }
    /// The text a posted message carries as its own copy; none when the
    /// sender passed none.
    const std::optional<uString>& Text() const { return m_text; }
    void SetText(uString text) { m_text = std::move(text); }

    /// What the handler returned, for the rare sender that reads it.
    long Result() const { return m_result; }
    void SetResult(long result) { m_result = result; }

    wxEvent* Clone() const override { return new CWindowMessageEvent(*this); }

private:
    unsigned m_message;
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
    std::optional<uString> m_text;
    long m_result = 0;
};

wxDECLARE_EVENT(EVT_WINDOW_MESSAGE, CWindowMessageEvent);

/// Handled by the target before the call returns (UI thread only); true when
/// a handler took it.
bool SendWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
/// The same, returning the handler's result (0 when nobody handled it).
long SendWindowMessageResult(wxEvtHandler* target, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);

/// Queued for the target's next turn of the event loop; callable from any thread.
void PostWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
} // namespace ui
