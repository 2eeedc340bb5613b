#include "mainwindow/WindowMessage.h"

namespace ui
{
wxDEFINE_EVENT(EVT_WINDOW_MESSAGE, CWindowMessageEvent);

CWindowMessageEvent::CWindowMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
    : wxThreadEvent(EVT_WINDOW_MESSAGE), m_message(message), m_wParam(wParam), m_lParam(lParam)
{
}

CWindowMessageEvent::CWindowMessageEvent(uWindowMessage message)
    : wxThreadEvent(EVT_WINDOW_MESSAGE), m_message(message.message), m_wParam(message.wParam), m_lParam(0),
      m_text(std::move(message.text))
{
}

long SendWindowMessageResult(wxEvtHandler* target, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam)
{
    if (target == nullptr)
        return 0;
    CWindowMessageEvent event(message, wParam, lParam);
    return target->ProcessEvent(event) ? event.Result() : 0;
}

bool SendWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (target == nullptr)
        return false;
    CWindowMessageEvent event(message, wParam, lParam);
    return target->ProcessEvent(event);
}

void PostWindowMessage(wxEvtHandler* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (target != nullptr)
        wxQueueEvent(target, new CWindowMessageEvent(message, wParam, lParam));
}
} // namespace ui
