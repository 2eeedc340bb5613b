#pragma once

#include "foundation/uString.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "mainwindow/PaneDownloads.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <wx/event.h>
#include <wx/string.h>

class CEditStates;
class CUserActs;
class CUserActWatch;
class wxWebView;
class wxWebViewEvent;
class wxWindowDestroyEvent;
class wxWindow;

// A feed a shown page announces: its address and title.
struct CFeedLink
{
    uString link;
    uString title;
};

// One entry of the "app:" command table: the name after "app:" and the
// command it posts to the pane's parent. A null name ends the table.
struct CHtmlCommand
{
    const char* name;
    int command;
};

// The browser of the lower right pane. It owns a wxWebView (which cannot be
// subclassed) made as a child of the given parent, and adds: pages written
// from text (the only way the program shows pages of its own), the source of
// the shown page, the feed links of each loaded page, the "app:" scheme whose
// addresses never load, and the rule that a page opens a window only while
// its own document is coming, one for each load (CUserActs). Reports go to the status handler: (-1, none)
// after a write, (number of feed links, none) after a page has loaded, (0, text) when the page's status text
// changed.
//
// A written page never navigates by itself: only the user's clicks and the
// program's commands leave it. Only the downloads the user started are
// taken (SetDownloadHooks): torrents, feeds and outlines go to the program,
// anything else is saved where the user says.
//
// User-interface thread only.
class CHtmlCtrl : public wxEvtHandler
{
public:
    using StatusHandler = std::function<void(long value, const uString* text)>;
    using WindowOpener = std::function<void(const wxString& url)>;
    using AddressHandler = std::function<void(const wxString& url)>;
    using SourceHandler = std::function<void(bool found, const uString& text)>;
    using ShownAgainHandler = std::function<void(const uString& address)>;

    CHtmlCtrl(wxWindow* parent, wxWindowID id, const uString& templateDir);
    ~CHtmlCtrl() override;
    CHtmlCtrl(const CHtmlCtrl&) = delete;
    CHtmlCtrl& operator=(const CHtmlCtrl&) = delete;

    // The browser window; it belongs to the parent.
    wxWebView* GetWebView() const { return m_view; }

    // Shows a page written by the program: scripts off, relative references
    // against the template folder, and no local file reachable but those of
    // the template folder and `pageFiles` (full paths the page names through
    // htmlctrl::PageFileUrl). Empties the feed links, reports -1 and keeps
    // the text as the page source. The page is an entry of the view's
    // history of its own: Back and Forward show it again, as it was written,
    // with the address set for it. 0 on success.
    int WriteHtml(const uString& html, const std::set<std::string>& pageFiles = {});
    // The address shown for the page written last (an item's link): shown
    // again when Back or Forward returns to that page.
    void SetPageAddress(const uString& address);
    // Hands `done` the text last written while it is still shown, at once;
    // else the bytes of the page the browser shows (empty for an empty or
    // unreadable page), read without waiting: `done` runs when they come,
    // which a page's box (an alert) may hold back, and never once the pane
    // or its view has gone, or the pane has come to show another page
    // meanwhile (the bytes would be taken for that page's). `found` is
    // false, with empty text, only when there is no browser to ask.
    void GetDocumentSource(SourceHandler done);
    // Whether the shown page would take the editing command now, as the
    // engine last said; never waits for the engine (CEditStates).
    bool CanCut();
    bool CanCopy();
    bool CanPaste();
    // The program's own navigations: each may leave a written page, where
    // the page itself may not (htmlctrl::MayNavigate).
    void Navigate(const uString& url);
    // `url` as the browser reads it (host and port in their plain form, dot
    // steps resolved, blanks at the ends dropped): the spelling it reports
    // in its questions. `url` itself when the browser cannot say.
    static uString EngineAddress(const uString& url);
    void GoBack();
    void GoForward();
    void Reload();

    void SetStatusHandler(StatusHandler handler) { m_status = std::move(handler); }
    // Where an allowed new window goes; the default browser when not set.
    void SetWindowOpener(WindowOpener opener) { m_openWindow = std::move(opener); }
    // Told the address of each page the view comes to show other than the
    // ones the program writes (those show what their writer sets, also when
    // Back shows one again).
    void SetAddressHandler(AddressHandler handler) { m_address = std::move(handler); }
    // Told the address set for a written page (an item's link) each time
    // the view comes to show that page again, or a page opened from it.
    void SetShownAgainHandler(ShownAgainHandler handler) { m_shownAgain = std::move(handler); }
    // Never set by the program itself; kept for pages that offer commands.
    void SetCommandTable(const CHtmlCommand* table) { m_commands = table; }
    // Where the program's own documents that a page offers for download
    // go, who opens them, and where other downloads are saved. Only the
    // downloads the user started are taken; without hooks, none.
    void SetDownloadHooks(CPaneDownloads::Hooks hooks);

    // Posts the commands of the table entries named `name` (case ignored) to
    // the parent window; nothing without a table.
    virtual void OnAppCmd(const uString& name);
    // The page's status text changed (the address of the link under the
    // mouse, empty when it left the link): reported with the value 0.
    void OnStatusTextChange(const uString& text);
    // The browser asks whether a navigation the view let through may go
    // on: false refuses it.
    bool OnNavigationDecision(const htmlctrl::Navigation& navigation);
    // The view's own document (not a frame's) answers from `address`: false
    // when it would replace a page the program wrote that nothing which may
    // leave it is leaving for. The written page then goes back in, as the
    // refused load may have cut its own short.
    bool MayTakePageAnswer(const uString& address);
    // A page asks for a new window on `url` (a link's target or a script):
    // it never opens in the pane; while the page's own document is coming,
    // the first of the web of that load goes to the window opener.
    void OnNewWindowAsked(const uString& url);
    // The view's address changed (a load started or committed, or a step
    // inside the page).
    void OnAddressChanged(const uString& address);
    // The view's history changed; it stands at entry `current` now, and
    // `added` is the entry made, if any.
    void OnHistoryChanged(const void* current, void* added = nullptr);

    const std::list<CFeedLink>& GetFeedLinks() const { return m_feedLinks; }
    const wxString& GetPageTitle() const { return m_title; }
    // A window the page asks for may open now (while the page's own
    // document is coming, and none opened yet in that load).
    bool IsPopupAllowed() const;

private:
    void OnNavigating(wxWebViewEvent& event);
    void OnNavigated(wxWebViewEvent& event);
    void OnNewWindow(wxWebViewEvent& event);
    void OnLoaded(wxWebViewEvent& event);
    void OnError(wxWebViewEvent& event);
    void OnTitleChanged(wxWebViewEvent& event);
    void WatchStatusText();
    void WatchNavigations();
    void WatchNewWindows();
    void WatchPrintRequests();
    // A command of the program's is about to navigate.
    void BeginCommand();
    // Back (or Forward): the command is tied to the entry it goes to.
    void ExpectHistoryStep(bool back);
    // Keeps `entry` (a history entry of the engine, or null) alive as the
    // expected one, and lets the one before go.
    void HoldEntry(void* entry);
    // A step through the history to the written page at `address` was let
    // through; once it commits, the pane shows that page again.
    void ReturnToWrittenPage(const uString& address);
    void ShowWrittenPageAgain();
    // A page committed: the handler above hears which item its entry
    // belongs to, if any.
    void TellItemOfEntry();
    // Lets the written pages go that the view's history no longer holds.
    void DropUnreachablePages(const void* current);
    // Hands the last written page to the view.
    void PutWrittenPage();
    // The view's first load ended; a page written meanwhile goes in now.
    void OnStartPageDone();
    // Bound as a method, so that wx drops the binding with this handler.
    void OnViewDestroyed(wxWindowDestroyEvent& event);
    void StopWatchingView();
    // A load of a page we wrote (or of the blank start page while one is
    // shown): it neither replaces the source nor runs a feed search.
    bool IsOwnOrBlank(const wxString& url) const;
    void SearchFeedLinks(const wxString& url);
    // Reads the bytes of the page the view shows and hands them to `done`
    // while the pane lives (`read` false when the engine lost them); false,
    // with nothing read, when the view shows no page to read.
    bool ReadShownPage(std::function<void(bool read, const uString& page)> done);
    // The bytes of the page at `url` came: its feed links are found.
    void FindFeedLinks(const wxString& url, const uString& page);
    void Report(long value, const uString* text);

    wxWebView* m_view = nullptr;
    // Gone with the pane or its view: an answer of the engine that comes
    // later finds it expired.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
    // The page shown: replaced when another page takes its place, so that
    // an answer about the one before finds it expired.
    std::shared_ptr<char> m_page = std::make_shared<char>();
    uString m_templateDir;
    const CHtmlCommand* m_commands = nullptr;
    std::list<CFeedLink> m_feedLinks;
    StatusHandler m_status;
    WindowOpener m_openWindow;
    AddressHandler m_address;
    wxString m_title;
    uString m_source;
    bool m_hasSource = false;
    uString m_statusText;
    // The toolkit's handler of the view's hover notification; 0 when none.
    unsigned long m_statusSignal = 0;
    // Whether what happens in the view is the user's own act: asked by every
    // hand-off, fed by the watch.
    std::shared_ptr<CUserActs> m_acts;
    std::unique_ptr<CUserActWatch> m_actWatch;
    std::unique_ptr<CPaneDownloads> m_downloads;
    std::unique_ptr<CEditStates> m_editStates;
    unsigned long m_policySignal = 0;
    unsigned long m_createSignal = 0;
    unsigned long m_addressSignal = 0;
    unsigned long m_historySignal = 0;
    unsigned long m_printSignal = 0;
    htmlctrl::PageShown m_shown = htmlctrl::PageShown::kBrowsed;
    // Until the browser has asked about a write, a load of its address is
    // ours, whatever the shown page's state.
    htmlctrl::CWrittenPages m_writes;
    // A navigation that may replace the written page was let through.
    bool m_leaving = false;
    // The written page shown last, as the program gave it, and the address
    // it loads at (empty before the first is put).
    htmlctrl::WrittenPage m_lastWritten;
    uString m_shownWrite;
    // The written page a step through the history goes to; empty when none.
    uString m_returningTo;
    // The addresses of the pages this pane keeps served.
    std::set<std::string> m_keptPages;
    // The item the pane shows, or the one whose page it went on from.
    uString m_itemAddress;
    ShownAgainHandler m_shownAgain;
    // How often the pane put the written page back after the view replaced
    // it by itself.
    int m_rewrites = 0;
    // The view has loaded its start page; until then a write waits.
    bool m_started = false;
    bool m_writeWaiting = false;
    // A command of the program is under way: its navigation may leave a
    // written page.
    htmlctrl::CCommandedNavigation m_command;
    // The history entry the program's Back or Forward goes to, held while
    // it may be asked about; null when none.
    void* m_expectedEntry = nullptr;
};
