#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <set>
#include <string>

// The browser pane's rules that need no window.
namespace htmlctrl
{
// True when the address uses the program's own "app:" scheme (any letter
// case); `command` then receives the rest of the address.
bool IsAppCommand(const uString& address, uString& command);

// What the pane shows, for the rule below.
enum class PageShown
{
    kBrowsed,        // a page the user or the program browsed to, or none yet
    kWrittenLoading, // a page the program wrote, still loading its parts
    kWrittenLoaded,  // a page the program wrote, done loading
};

// The kinds of navigation the browser tells apart.
enum class NavigationKind
{
    kLinkClicked,
    kFormSubmitted,
    kBackForward,
    kReload,
    kFormResubmitted,
    kOther,
};

struct Navigation
{
    uString url;
    NavigationKind kind = NavigationKind::kOther;
    bool userGesture = false;
    bool redirect = false;
    // The engine's button of the click that started it: 0 for a script's
    // click, even inside the user's own, but 1 for a key's activation too.
    unsigned mouseButton = 0;
    // The history entry the browser stands at as it asks (a step through
    // the history has moved there already); null when not known.
    const void* entry = nullptr;
};

enum class NavigationVerdict
{
    kRefuse,
    kFrame, // a part of the written page loading: the page stays
    kLeave, // may replace the shown page
};

// Whether a navigation may go on. A page the program wrote from feed text
// never navigates by itself: only the user's own navigation (`usersOwn`, as
// CUserActs tells it: a command of the program, or the user's click on a
// link or a form) or a redirect of a navigation let through may leave it; a
// meta refresh may not. While it loads, its frames load their own addresses
// (the browser does not tell a frame's navigation from the page's; a
// refresh waits for the load), but no step through the history is a
// frame's own. A browsed page navigates as the web does.
NavigationVerdict MayNavigate(PageShown shown, const Navigation& navigation, bool usersOwn);

// `address` in the one spelling that every spelling of the same address
// has, so that addresses compare as addresses, not as text: scheme and host
// in lower case, escapes of letters, digits and "-._~" decoded and the hex of
// the others in upper case, bytes an address cannot hold escaped, a default
// or empty port dropped, "/" for an empty path after a host, and no user
// name or password (they name no other page). The query and the fragment
// stay.
std::string NormalAddress(const std::string& address);

// True when the two addresses differ in their fragment only: a step
// between them stays inside the page, and the browser decides nothing.
bool DiffersInFragmentOnly(const uString& first, const uString& second);

// A command of the program's that is to navigate the pane: an address
// (Navigate), or Back, Forward or Reload, each tied to the history entry it
// goes to. Only the navigation the command started may use its leave: one
// to that entry's address, of that kind. One of a frame, of a redirect, or
// of a page's script to another address that the browser decides first is
// not it. The leave ends with its own navigation, with a step through the
// history to elsewhere (the command's step was passed), or when the page
// steps inside itself to another address (the step was that one, which the
// browser decides nothing about).
class CCommandedNavigation
{
public:
    // Navigate: any kind but a step through the history.
    void ExpectAddress(const uString& address);
    // Back or Forward (kBackForward) to an entry, or Reload (kReload) of it.
    // A step names its `entry`, where known: another entry of the same
    // address, one the page put into the history, is not the command's.
    void ExpectEntry(NavigationKind kind, const uString& address, const void* entry = nullptr);
    void Clear() { m_pending = false; }
    bool IsPending() const { return m_pending; }
    // True when `navigation` is the command's own.
    bool IsCommanded(const Navigation& navigation) const;
    // True when a page at `address` that commits may be the command's.
    bool MayHaveCommitted(const uString& address) const;
    // The browser decided about `navigation`.
    void OnDecided(const Navigation& navigation);
    // The view's address became `address`: a load's (any, also one begun
    // before the command) or a step inside the shown page.
    void OnAddressChanged(const uString& address);
    // The browser stands at history entry `entry` now. Once at the step's
    // entry, moving on to another without the step's load means the step
    // stayed inside the page, and what follows is the page's own.
    void OnEntryChanged(const void* entry);

private:
    bool m_pending = false;
    bool m_byAddress = false;
    uString m_address;
    const void* m_entry = nullptr;
    bool m_atEntry = false;
    NavigationKind m_kind = NavigationKind::kOther;
    uString m_shown;
};

// A page the program wrote, as it gave it.
struct WrittenPage
{
    uString html;
    // The local files (full paths) it may reach.
    std::set<std::string> files;
    // The address shown for it (an item's link).
    uString address;
};

// The pages the pane wrote into the view. Each write loads an address of
// its own under the base address, numbered across the process (the
// program's scheme serves each by it), so that the browser's question about a
// load, and its report that a load ended, tell which write they concern:
// a write replaced before it loaded may be asked about and end after the
// newer one was put, or never be asked about at all.
// The numbers grow by an unforeseeable step: the browser cannot tell a
// frame's question from the page's, and a page that named the next write's
// address ahead would take that write into its frame.
class CWrittenPages
{
public:
    // A new write: the address it loads.
    uString OnPut();
    // The browser asks about a load of `address`: true for a write's address
    // that no question concerned before and that no later write's question
    // passed. A write's page loading itself again is not one of ours.
    bool OnAsked(const uString& address);
    // True while the browser has not asked about the newest write.
    bool IsPending() const { return m_asked != m_newest; }
    // True for the address of any written page.
    static bool IsWritten(const uString& address);

private:
    std::uint64_t m_newest = 0;
    std::uint64_t m_asked = 0;
    // Writes put that no question concerned or passed, in order.
    std::set<std::uint64_t> m_unasked;
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

// Our written pages come from the program's own scheme, not from a file
// address: a page of a file address may show any local file, and feed text
// is part of our pages. Through the scheme a page reaches the template
// folder and the local files the program named for that page (a downloaded
// enclosure), nothing else on the disk.
inline constexpr const char* kPageScheme = "kestrova";
// The base address of a written page: the template folder in that scheme.
uString PageBaseUrl();
// The address a written page uses for a local file the program names.
uString PageFileUrl(const uString& path);
// The local file an address of the scheme stands for: one inside the
// template folder, or one of `pageFiles` (full paths). False for anything
// else, and for every address of another scheme.
bool ResolvePageAddress(const uString& address, const uString& templateDir,
                        const std::set<std::string>& pageFiles, std::string& path);
} // namespace htmlctrl
