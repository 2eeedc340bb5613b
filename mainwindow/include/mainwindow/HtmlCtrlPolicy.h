#pragma once

#include "foundation/uString.h"

// The browser pane's rules that need no window.
namespace htmlctrl
{
// True when the address uses the program's own "app:" scheme (any letter
// case); `command` then receives the rest of the address.
bool IsAppCommand(const uString& address, uString& command);

// Pages may open windows only while a page is loading (a script of the
// loading page); a click on a link with a new-window target after the load
// is refused. Blocked at first.
class CPopupPermission
{
public:
    void OnLoadStarted() { m_blocked = false; }
    void OnLoadEnded() { m_blocked = true; }
    bool IsAllowed() const { return !m_blocked; }

private:
    bool m_blocked = true;
};

// True for the addresses a window that a page asks for may be handed to
// the desktop's browser with: web and ftp pages only. Any other scheme
// (file, a desktop's own handler schemes) would start a program chosen by
// the page, not by the user.
bool MayOpenOutside(const uString& address);

// True for the addresses the program may show when they come from a feed
// (an item's link): web and ftp pages, and files inside the data folder.
// Anything else ("javascript:", "data:", files elsewhere, a desktop's own
// handler schemes) would let a feed run or read what the user never chose.
bool MayShowFromFeed(const uString& address, const uString& dataDir);

// The base address our written pages are given: the template folder as a
// file URI ending in "/", so that relative and file references resolve.
uString PageBaseUrl(const uString& templateDir);
} // namespace htmlctrl
