#pragma once

#include "foundation/uMessage.h"

#include <cstdint>

// The private window messages of the main frame, by their numbers. The four
// that workers post (WM_APP_NOTIFYNEWITEMS, WM_APP_STATUSTEXT,
// WM_APP_UPDATEDONE, WM_USER_FEEDUPDATED) and WM_APP itself come from
// foundation/uMessage.h, which the feed engine shares.
//
// Posted messages carry their text by value (lParam 0); sent ones come from
// the user-interface thread and may pass pointers that stay valid during the
// call. Values between WM_APP+1 and WM_APP+60 not listed here are free and
// stay free.

inline constexpr std::uint32_t WM_USER_OPENITEM = 0x7FFE; // wParam 1 double-click, 0 Enter/command 212
inline constexpr std::uint32_t WM_APP_ADDSUBSCRIPTION = WM_APP + 1; // tree view, command 150
inline constexpr std::uint32_t WM_APP_TREEDBLCLK = WM_APP + 5;
inline constexpr std::uint32_t WM_APP_TREESELCHANGED = WM_APP + 7;
inline constexpr std::uint32_t WM_APP_REFRESHFEED = WM_APP + 9;
inline constexpr std::uint32_t WM_APP_UNSUBSCRIBE = WM_APP + 10;
inline constexpr std::uint32_t WM_APP_FEEDPROPERTIES = WM_APP + 11;
inline constexpr std::uint32_t WM_APP_SHOWSELECTEDITEM = WM_APP + 12;
inline constexpr std::uint32_t WM_APP_TREELABELEDITED = WM_APP + 13;
inline constexpr std::uint32_t WM_APP_MARKALLREAD = WM_APP + 14; // lParam: tree item
inline constexpr std::uint32_t WM_APP_NEWCHANNEL = WM_APP + 15;
inline constexpr std::uint32_t WM_APP_NEWFOLDER = WM_APP + 16;
inline constexpr std::uint32_t WM_APP_SHOWNEXTITEM = WM_APP + 18;   // wParam: 38 up or 40 down
inline constexpr std::uint32_t WM_APP_NEWLIST = WM_APP + 19;        // lParam: tree item
inline constexpr std::uint32_t WM_APP_REMOVELIST = WM_APP + 20;     // lParam: tree item
inline constexpr std::uint32_t WM_APP_COMPACTLIST = WM_APP + 21;    // lParam: tree item
inline constexpr std::uint32_t WM_APP_OPENLIST = WM_APP + 22;       // lParam: tree item
inline constexpr std::uint32_t WM_APP_SEARCH = WM_APP + 26;         // lParam: the search request
inline constexpr std::uint32_t WM_APP_REMOVEOUTDATED = WM_APP + 28; // lParam: tree item
inline constexpr std::uint32_t WM_APP_MOVEFEED = WM_APP + 31;       // wParam: drop target; lParam: request
inline constexpr std::uint32_t WM_APP_SETTINGSCHANGED = WM_APP + 32;
inline constexpr std::uint32_t WM_APP_DELETEITEM = WM_APP + 33;      // lParam: row index pointer
inline constexpr std::uint32_t WM_APP_ARCHIVEITEM = WM_APP + 34;     // lParam: row index pointer
inline constexpr std::uint32_t WM_APP_DOWNLOADNOW = WM_APP + 35;     // lParam: row index pointer
inline constexpr std::uint32_t WM_APP_DOWNLOADLATER = WM_APP + 36;   // lParam: row index pointer
inline constexpr std::uint32_t WM_APP_RESTOREWINDOW = WM_APP + 37;   // lParam: 0, or the notifier's value
inline constexpr std::uint32_t WM_APP_NEWWATCH = WM_APP + 38;        // lParam: tree item
inline constexpr std::uint32_t WM_APP_REFRESHWATCH = WM_APP + 39;    // lParam: tree item
inline constexpr std::uint32_t WM_APP_WATCHPROPERTIES = WM_APP + 40; // lParam: tree item
inline constexpr std::uint32_t WM_APP_SUBSCRIBEURL = WM_APP + 41;    // lParam: the URL (uString*)
inline constexpr std::uint32_t WM_APP_VIEWSOURCE = WM_APP + 42;      // lParam: the URL (uString*)
inline constexpr std::uint32_t WM_APP_TREEEXPANDING = WM_APP + 43;   // lParam: tree item
inline constexpr std::uint32_t WM_APP_ADDTORRENT = WM_APP + 46;      // lParam: the BitTorrent panel
inline constexpr std::uint32_t WM_APP_OPENRSSFILE = WM_APP + 47;     // text: the path
inline constexpr std::uint32_t WM_APP_OPENOPMLFILE = WM_APP + 48;    // text: the path
inline constexpr std::uint32_t WM_APP_OPENTORRENTFILE = WM_APP + 49; // text: the path
inline constexpr std::uint32_t WM_APP_SETSTATUS = WM_APP + 50; // wParam: signed indicator value; text or none
inline constexpr std::uint32_t WM_APP_SHOWPREFERENCES = WM_APP + 53;
inline constexpr std::uint32_t WM_APP_VERSIONCHECKED = WM_APP + 60; // wParam: 1 fetched, else 0

// Registered messages take ids from 0xC000 up, as the system hands them out.
// The instance message: a second instance hands over the file it was started
// with (text; none to just bring the window forward).
inline constexpr std::uint32_t WM_KESTROVA_INSTANCE = 0xC000;

namespace messages
{
inline constexpr std::uint32_t kAll[] = {
    WM_USER_OPENITEM,        WM_USER_FEEDUPDATED,    WM_APP_ADDSUBSCRIPTION, WM_APP_TREEDBLCLK,
    WM_APP_TREESELCHANGED,   WM_APP_REFRESHFEED,     WM_APP_UNSUBSCRIBE,     WM_APP_FEEDPROPERTIES,
    WM_APP_SHOWSELECTEDITEM, WM_APP_TREELABELEDITED, WM_APP_MARKALLREAD,     WM_APP_NEWCHANNEL,
    WM_APP_NEWFOLDER,        WM_APP_SHOWNEXTITEM,    WM_APP_NEWLIST,         WM_APP_REMOVELIST,
    WM_APP_COMPACTLIST,      WM_APP_OPENLIST,        WM_APP_SEARCH,          WM_APP_REMOVEOUTDATED,
    WM_APP_NOTIFYNEWITEMS,   WM_APP_MOVEFEED,        WM_APP_SETTINGSCHANGED, WM_APP_DELETEITEM,
    WM_APP_ARCHIVEITEM,      WM_APP_DOWNLOADNOW,     WM_APP_DOWNLOADLATER,   WM_APP_RESTOREWINDOW,
    WM_APP_NEWWATCH,         WM_APP_REFRESHWATCH,    WM_APP_WATCHPROPERTIES, WM_APP_SUBSCRIBEURL,
    WM_APP_VIEWSOURCE,       WM_APP_TREEEXPANDING,   WM_APP_STATUSTEXT,      WM_APP_ADDTORRENT,
    WM_APP_OPENRSSFILE,      WM_APP_OPENOPMLFILE,    WM_APP_OPENTORRENTFILE, WM_APP_SETSTATUS,
    WM_APP_UPDATEDONE,       WM_APP_SHOWPREFERENCES, WM_APP_VERSIONCHECKED,
};

constexpr bool AllDistinctAndInRange()
{
    for (std::uint32_t a : kAll)
    {
        bool privateRange = a == 0x7FFE || a == 0x7FFF || (a > WM_APP && a <= WM_APP + 60);
        if (!privateRange)
            return false;
        int seen = 0;
        for (std::uint32_t b : kAll)
            seen += a == b ? 1 : 0;
        if (seen != 1)
            return false;
    }
    return true;
}
static_assert(AllDistinctAndInRange(), "private messages must be distinct and in their range");
static_assert(sizeof(kAll) / sizeof(kAll[0]) == 43, "the table has 43 private messages");
} // namespace messages
