#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <memory>
#include <optional>

// Private window messages, posted by worker threads to a window that lives on
// the user-interface thread. A window is known to posters only by a handle,
// a registered id: posting to a handle whose window is gone returns false and
// delivers nothing. A text travels inside the message as an owned copy, so the
// sender may change or free its own string the moment PostMessage returns.
//
// How a message reaches the window's thread is the transport's business: the
// main window registers one that queues a toolkit event, tests register a
// queue.

// The message numbers the window code and the feed engine agree on.
constexpr std::uint32_t WM_APP = 0x8000;
constexpr std::uint32_t WM_APP_NOTIFYNEWITEMS = WM_APP + 29; // text: new item titles for the notifier
constexpr std::uint32_t WM_APP_STATUSTEXT = WM_APP + 45;     // text: the status-bar text
constexpr std::uint32_t WM_APP_UPDATEDONE = WM_APP + 52;     // no data: an update pass has finished
constexpr std::uint32_t WM_USER_FEEDUPDATED = 0x7FFF;        // text: the list database file name

// 0 is never a registered window.
using uWindowHandle = std::uint32_t;

struct uWindowMessage
{
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    // Stands in for a pointer lParam: absent where the sender passed none.
    std::optional<uString> text;
};

class uMessageTransport
{
public:
    virtual ~uMessageTransport() = default;

    // Hands the message on to the window's thread. Runs on the posting thread,
    // possibly on several threads at once. It must not block for long and must
    // not open or close a uMessageWindow (the registry is held while it runs).
    virtual void deliver(uWindowMessage message) = 0;
};

// The registration of one window: the handle is valid from construction until
// close() or destruction. Once close() has returned, no delivery to the
// transport is running and none will start, so the window may be destroyed.
class uMessageWindow
{
public:
    explicit uMessageWindow(std::shared_ptr<uMessageTransport> transport);
    ~uMessageWindow();
    uMessageWindow(const uMessageWindow&) = delete;
    uMessageWindow& operator=(const uMessageWindow&) = delete;

    uWindowHandle getHandle() const { return m_handle; }
    void close();

private:
    uWindowHandle m_handle = 0;
};

// True when the window was registered and its transport took the message.
// Safe on any thread.
bool PostMessage(uWindowHandle window, std::uint32_t message, std::uintptr_t wParam = 0);
bool PostMessage(uWindowHandle window, std::uint32_t message, std::uintptr_t wParam, uString text);
