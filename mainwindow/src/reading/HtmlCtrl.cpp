#include "mainwindow/HtmlCtrl.h"

#include "EditStates.h"
#include "PageScheme.h"
#include "UserActWatch.h"
#include "WebKitCalls.h"
#include "common/DesktopShell.h"
#include "common/Messages.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/Preference.h"
#include "foundation/uHtmlParser.h"
#include "mainwindow/StartupRules.h"
#include "mainwindow/UserActs.h"

#ifdef __WXGTK__
#include <gio/gio.h>
#endif
#include <algorithm>
#include <string>
#include <wx/app.h>
#include <wx/utils.h>
#include <wx/webview.h>
#include <wx/window.h>

namespace
{
// Bounds the pane's putting back of a written page that the view replaced.
constexpr int kMaxRewrites = 3;

uString ToUString(const wxString& text)
{
    return uString(text.utf8_str().data());
}

wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str(), static_cast<size_t>(text.getLength()));
}

#ifdef __WXGTK__
// An answer the view would show. The engine cannot say whether a navigation
// it asks about is the page's own or a frame's, so while a written page
// loads each is let through as a frame's; its answer tells. One for the
// page itself that would replace the written page never commits, as a
// frame's script sent it there: its own scripts would run in the pane.
gboolean DecideAnswer(GObject* decision, CHtmlCtrl& control)
{
    const webkitcalls::DownloadApi& api = webkitcalls::Downloads();
    if (api.isMainResource == nullptr || api.isMainResource(decision) == FALSE)
        return FALSE;
    GObject* response = nullptr;
    g_object_get(decision, "response", &response, nullptr);
    gchar* uri = nullptr;
    if (response != nullptr)
        g_object_get(response, "uri", &uri, nullptr);
    const bool taken = control.MayTakePageAnswer(uString(uri != nullptr ? uri : ""));
    g_free(uri);
    if (response != nullptr)
        g_object_unref(response);
    if (taken)
        return FALSE;
    api.ignore(decision);
    return TRUE;
}

// "decide-policy": runs after wx's own handler, which stops the signal for
// what it refused (the "app:" addresses, folders). Navigations (decision
// type 0) are judged here; new windows and answers go on as wx left them.
gboolean OnDecidePolicy(GObject* view, GObject* decision, int type, gpointer control)
{
    const webkitcalls::PolicyApi& api = webkitcalls::Policy();
    if (api.action == nullptr)
        return FALSE;
    constexpr int kResponseDecision = 2;
    if (type == kResponseDecision)
        return DecideAnswer(decision, *static_cast<CHtmlCtrl*>(control));
    if (type != 0)
        return FALSE;
    void* action = api.action(decision);
    const char* uri = api.requestUri(api.request(action));
    htmlctrl::Navigation navigation;
    navigation.url = uString(uri != nullptr ? uri : "");
    const int kind = api.navigationType(action);
    navigation.kind = kind >= 0 && kind <= static_cast<int>(htmlctrl::NavigationKind::kOther)
                          ? static_cast<htmlctrl::NavigationKind>(kind)
                          : htmlctrl::NavigationKind::kOther;
    navigation.userGesture = api.userGesture(action) != FALSE;
    navigation.redirect = api.redirect(action) != FALSE;
    navigation.mouseButton = api.mouseButton(action);
    // The engine moves to a step's entry before it asks about the step.
    const webkitcalls::HistoryApi& history = webkitcalls::History();
    if (void* list = history.list != nullptr ? history.list(view) : nullptr; list != nullptr)
        navigation.entry = history.currentItem(list);
    if (static_cast<CHtmlCtrl*>(control)->OnNavigationDecision(navigation))
        return FALSE;
    api.ignore(decision);
    return TRUE;
}

// "create": a page's script asks for a new window. The toolkit's own handler
// gives the engine back the view itself, which the engine cannot take; it is
// blocked, and no view is ever given: a window the pane allows goes to the
// desktop instead.
GtkWidget* OnCreateWindow(GObject*, GObject* action, gpointer control)
{
    const webkitcalls::PolicyApi& api = webkitcalls::Policy();
    const char* uri = api.request != nullptr ? api.requestUri(api.request(action)) : nullptr;
    static_cast<CHtmlCtrl*>(control)->OnNewWindowAsked(uString(uri != nullptr ? uri : ""));
    return nullptr;
}

// "print": the page asks for the print dialog (window.print(), from the
// page or a frame, on a timer or from a click's handler). Refused with no
// dialog (handled, so that the engine's own handler does not run). The
// program's own Print command prints through the view and does not come
// this way.
gboolean OnPrintRequested(GObject*, GObject*, gpointer)
{
    return CUserActs::IsUsersPrint(/*askedByPage=*/true) ? FALSE : TRUE;
}

// "notify::uri": the view's address changed, also for a step inside the
// page, which the browser decides nothing about.
void OnAddressNotified(GObject* view, GParamSpec*, gpointer control)
{
    gchar* uri = nullptr;
    g_object_get(view, "uri", &uri, nullptr);
    static_cast<CHtmlCtrl*>(control)->OnAddressChanged(uString(uri != nullptr ? uri : ""));
    g_free(uri);
}

// "changed" of the view's history: an entry added, or the view moved to
// another entry, also one inside the page, which nobody decides about.
void OnHistoryNotified(GObject* list, gpointer added, gpointer, gpointer control)
{
    static_cast<CHtmlCtrl*>(control)->OnHistoryChanged(webkitcalls::History().currentItem(list), added);
}

// The link of the item an entry of the history was reached from.
constexpr const char* kItemOfEntry = "kestrova-item";

// WebKitGTK has no status text of its own: what the page would show there
// (the address of the link under the mouse) comes with its hover
// notification, whose hit-test result names the link.
void OnMouseTargetChanged(GObject*, GObject* hitTest, guint, gpointer control)
{
    gchar* link = nullptr;
    g_object_get(hitTest, "link-uri", &link, nullptr);
    static_cast<CHtmlCtrl*>(control)->OnStatusTextChange(uString(link != nullptr ? link : ""));
    g_free(link);
}
#endif
} // namespace

CHtmlCtrl::CHtmlCtrl(wxWindow* parent, wxWindowID id, const uString& templateDir) : m_templateDir(templateDir)
{
    m_view = wxWebView::New(parent, id, "about:blank");
    pagescheme::Register(m_view);
    m_view->Bind(wxEVT_WEBVIEW_NAVIGATING, &CHtmlCtrl::OnNavigating, this);
    m_view->Bind(wxEVT_WEBVIEW_NAVIGATED, &CHtmlCtrl::OnNavigated, this);
    m_view->Bind(wxEVT_WEBVIEW_NEWWINDOW, &CHtmlCtrl::OnNewWindow, this);
    m_view->Bind(wxEVT_WEBVIEW_LOADED, &CHtmlCtrl::OnLoaded, this);
    m_view->Bind(wxEVT_WEBVIEW_ERROR, &CHtmlCtrl::OnError, this);
    m_view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &CHtmlCtrl::OnTitleChanged, this);
    m_view->Bind(wxEVT_DESTROY, &CHtmlCtrl::OnViewDestroyed, this);
    WatchStatusText();
    WatchNavigations();
    WatchNewWindows();
    WatchPrintRequests();
    m_acts = std::make_shared<CUserActs>();
    m_actWatch = std::make_unique<CUserActWatch>(m_view->GetNativeBackend(), m_acts);
    m_downloads = std::make_unique<CPaneDownloads>(m_view, m_acts, *m_actWatch);
    m_editStates = std::make_unique<CEditStates>(m_view->GetNativeBackend());
}

// The wx bindings end with this handler (wx tracks them); the toolkit's
// signal does not. The view itself belongs to the parent window.
CHtmlCtrl::~CHtmlCtrl()
{
    StopWatchingView();
    HoldEntry(nullptr);
    for (const std::string& address : m_keptPages)
        pagescheme::Drop(uString(address.c_str()));
}

void CHtmlCtrl::HoldEntry(void* entry)
{
#ifdef __WXGTK__
    // Held, so that no later entry is made at its address and passes for it.
    if (entry != nullptr)
        g_object_ref(entry);
    if (m_expectedEntry != nullptr)
        g_object_unref(m_expectedEntry);
#endif
    m_expectedEntry = entry;
}

void CHtmlCtrl::WatchStatusText()
{
#ifdef __WXGTK__
    if (auto* native = static_cast<GObject*>(m_view->GetNativeBackend());
        native != nullptr && g_signal_lookup("mouse-target-changed", G_OBJECT_TYPE(native)) != 0)
        m_statusSignal =
            g_signal_connect(native, "mouse-target-changed", G_CALLBACK(OnMouseTargetChanged), this);
#endif
}

void CHtmlCtrl::WatchNavigations()
{
#ifdef __WXGTK__
    if (auto* native = static_cast<GObject*>(m_view->GetNativeBackend()); native != nullptr)
    {
        m_policySignal = g_signal_connect(native, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
        m_addressSignal = g_signal_connect(native, "notify::uri", G_CALLBACK(OnAddressNotified), this);
        const webkitcalls::HistoryApi& history = webkitcalls::History();
        if (auto* list = history.list != nullptr ? static_cast<GObject*>(history.list(native)) : nullptr)
            m_historySignal = g_signal_connect(list, "changed", G_CALLBACK(OnHistoryNotified), this);
    }
#endif
}

void CHtmlCtrl::WatchNewWindows()
{
#ifdef __WXGTK__
    auto* native = static_cast<GObject*>(m_view->GetNativeBackend());
    const guint signal = native != nullptr ? g_signal_lookup("create", G_OBJECT_TYPE(native)) : 0;
    if (signal == 0)
        return;
    // Blocked for good: with no handler the engine opens no window at all.
    while (const gulong other = g_signal_handler_find(
               native, static_cast<GSignalMatchType>(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_UNBLOCKED), signal, 0,
               nullptr, nullptr, nullptr))
        g_signal_handler_block(native, other);
    m_createSignal = g_signal_connect(native, "create", G_CALLBACK(OnCreateWindow), this);
#endif
}

void CHtmlCtrl::WatchPrintRequests()
{
#ifdef __WXGTK__
    if (auto* native = static_cast<GObject*>(m_view->GetNativeBackend());
        native != nullptr && g_signal_lookup("print", G_OBJECT_TYPE(native)) != 0)
        m_printSignal = g_signal_connect(native, "print", G_CALLBACK(OnPrintRequested), this);
#endif
}

void CHtmlCtrl::OnViewDestroyed(wxWindowDestroyEvent& event)
{
    if (event.GetEventObject() == m_view)
    {
        StopWatchingView();
        m_downloads.reset();
        m_actWatch.reset();
        m_editStates.reset();
        // Gone with its parent: nothing may reach it any more, and no answer
        // about it goes on.
        m_view = nullptr;
        m_alive = std::make_shared<char>();
    }
    event.Skip();
}

void CHtmlCtrl::StopWatchingView()
{
#ifdef __WXGTK__
    if (m_view != nullptr)
    {
        auto* native = static_cast<GObject*>(m_view->GetNativeBackend());
        if (m_statusSignal != 0)
            g_signal_handler_disconnect(native, m_statusSignal);
        if (m_policySignal != 0)
            g_signal_handler_disconnect(native, m_policySignal);
        if (m_createSignal != 0)
            g_signal_handler_disconnect(native, m_createSignal);
        if (m_addressSignal != 0)
            g_signal_handler_disconnect(native, m_addressSignal);
        if (m_historySignal != 0)
            g_signal_handler_disconnect(webkitcalls::History().list(native), m_historySignal);
        if (m_printSignal != 0)
            g_signal_handler_disconnect(native, m_printSignal);
    }
#endif
    m_statusSignal = 0;
    m_policySignal = 0;
    m_createSignal = 0;
    m_addressSignal = 0;
    m_historySignal = 0;
    m_printSignal = 0;
}

void CHtmlCtrl::SetDownloadHooks(CPaneDownloads::Hooks hooks)
{
    if (m_downloads)
        m_downloads->SetHooks(std::move(hooks));
}

void CHtmlCtrl::OnStatusTextChange(const uString& text)
{
    // The notification comes for every element the mouse crosses.
    if (text == m_statusText)
        return;
    m_statusText = text;
    Report(0, &m_statusText);
}

int CHtmlCtrl::WriteHtml(const uString& html, const std::set<std::string>& pageFiles)
{
    m_feedLinks.clear();
    if (m_view == nullptr)
        return -1;
    pagescheme::ServeFiles(m_templateDir, pageFiles);
    // From here until it has loaded, the written page is what the pane
    // should show; see OnNavigationDecision.
    m_shown = htmlctrl::PageShown::kWrittenLoading;
    m_page = std::make_shared<char>();
    m_leaving = false;
    // The write is the later: a command not yet decided goes nowhere.
    m_command.Clear();
    m_rewrites = 0;
    m_lastWritten = pagescheme::WrittenPage{html, pageFiles, uString()};
    m_shownWrite.setEmpty();
    m_itemAddress.setEmpty();
    // WebKit, given pages before it has loaded the view's start page, may
    // load that start page after them: the page waits for it.
    if (m_started)
        PutWrittenPage();
    else
        m_writeWaiting = true;
    Report(-1, nullptr);
    m_source = html;
    m_hasSource = true;
    return 0;
}

void CHtmlCtrl::SetPageAddress(const uString& address)
{
    if (!m_hasSource)
        return;
    m_lastWritten.address = address;
    m_itemAddress = address;
    if (!m_shownWrite.isEmpty())
        pagescheme::SetAddress(m_shownWrite, address);
}

void CHtmlCtrl::PutWrittenPage()
{
    m_writeWaiting = false;
    // A document of its own address: an entry of the engine's history,
    // which Back and Forward come back to.
    m_shownWrite = m_writes.OnPut();
    pagescheme::Keep(m_shownWrite, m_lastWritten);
    m_keptPages.insert(m_shownWrite.c_str());
    m_view->LoadURL(ToWx(m_shownWrite));
}

void CHtmlCtrl::OnStartPageDone()
{
    if (m_started)
        return;
    m_started = true;
    if (m_writeWaiting)
        PutWrittenPage();
}

void CHtmlCtrl::GetDocumentSource(SourceHandler done)
{
    if (m_hasSource)
    {
        done(true, m_source);
        return;
    }
    if (m_view == nullptr)
    {
        done(false, uString());
        return;
    }
    // An empty page still has a source, if an empty one: Save then offers
    // what else there is.
    if (!ReadShownPage(
            [done, page = std::weak_ptr<char>(m_page)](bool read, const uString& bytes)
            {
                if (!page.expired())
                    done(read, bytes);
            }))
        done(true, uString());
}

bool CHtmlCtrl::CanCut()
{
    return m_editStates && m_editStates->Can(CEditStates::Command::kCut);
}

bool CHtmlCtrl::CanCopy()
{
    return m_editStates && m_editStates->Can(CEditStates::Command::kCopy);
}

bool CHtmlCtrl::CanPaste()
{
    return m_editStates && m_editStates->Can(CEditStates::Command::kPaste);
}

void CHtmlCtrl::Navigate(const uString& url)
{
    if (m_view == nullptr)
        return;
    uString command;
    if (htmlctrl::IsAppCommand(url, command))
    {
        // Nothing loads: the view hands the command over.
        m_view->LoadURL(ToWx(url));
        return;
    }
    BeginCommand();
    // The browser asks about the address in its own spelling.
    m_command.ExpectAddress(EngineAddress(url));
    m_view->LoadURL(ToWx(url));
}

uString CHtmlCtrl::EngineAddress(const uString& url)
{
#ifdef __WXGTK__
    const webkitcalls::AddressApi& api = webkitcalls::Address();
    if (api.newRequest != nullptr)
    {
        // The request reads its address as Latin-1, where a load reads
        // UTF-8: other bytes go escaped, which reads the same to both.
        static const char kHex[] = "0123456789ABCDEF";
        std::string ascii;
        for (const char* c = url.c_str(); *c != '\0'; ++c)
        {
            const auto byte = static_cast<unsigned char>(*c);
            if (byte < 0x80)
                ascii += *c;
            else
                ascii.append({'%', kHex[byte >> 4], kHex[byte & 15]});
        }
        void* request = api.newRequest(ascii.c_str());
        const char* uri = request != nullptr ? api.requestUri(request) : nullptr;
        uString engine(uri != nullptr ? uri : "");
        if (request != nullptr)
            g_object_unref(request);
        if (!engine.isEmpty())
            return engine;
    }
#endif
    return url;
}

void CHtmlCtrl::BeginCommand()
{
    // A page still waiting for the start page would come after the
    // command's: the command is the later one.
    m_writeWaiting = false;
}

void CHtmlCtrl::GoBack()
{
    if (m_view == nullptr || !m_view->CanGoBack())
        return;
    ExpectHistoryStep(true);
    m_view->GoBack();
}

void CHtmlCtrl::GoForward()
{
    if (m_view == nullptr || !m_view->CanGoForward())
        return;
    ExpectHistoryStep(false);
    m_view->GoForward();
}

void CHtmlCtrl::ExpectHistoryStep(bool back)
{
    BeginCommand();
    m_command.Clear();
#ifdef __WXGTK__
    const webkitcalls::HistoryApi& api = webkitcalls::History();
    void* native = m_view->GetNativeBackend();
    if (api.list == nullptr || native == nullptr)
        return;
    void* list = api.list(native);
    void* entry = list != nullptr ? (back ? api.backItem(list) : api.forwardItem(list)) : nullptr;
    const char* uri = entry != nullptr ? api.itemUri(entry) : nullptr;
    // A step inside the page is decided by nobody: no leave may wait for it,
    // or the page's own next step would take it.
    if (uri == nullptr || htmlctrl::DiffersInFragmentOnly(ToUString(m_view->GetCurrentURL()), uString(uri)))
        return;
    // The page may have put other entries of that address into the history
    // and step to one of them itself: the step is tied to this very entry.
    HoldEntry(entry);
    m_command.ExpectEntry(htmlctrl::NavigationKind::kBackForward, uString(uri), m_expectedEntry);
#endif
}

void CHtmlCtrl::Reload()
{
    if (m_view == nullptr)
        return;
    BeginCommand();
    m_command.ExpectEntry(htmlctrl::NavigationKind::kReload, ToUString(m_view->GetCurrentURL()));
    m_view->Reload();
}

void CHtmlCtrl::OnAddressChanged(const uString& address)
{
    m_command.OnAddressChanged(address);
}

void CHtmlCtrl::OnHistoryChanged(const void* current, void* added)
{
    m_command.OnEntryChanged(current);
#ifdef __WXGTK__
    // A page opened from an item belongs to it: Back to the page selects it.
    if (added != nullptr && !m_itemAddress.isEmpty())
        g_object_set_data_full(static_cast<GObject*>(added), kItemOfEntry, g_strdup(m_itemAddress.c_str()),
                               g_free);
#else
    (void)added;
#endif
    DropUnreachablePages(current);
}

void CHtmlCtrl::TellItemOfEntry()
{
#ifdef __WXGTK__
    const webkitcalls::HistoryApi& api = webkitcalls::History();
    void* list = api.list != nullptr && m_view != nullptr ? api.list(m_view->GetNativeBackend()) : nullptr;
    void* entry = list != nullptr ? api.currentItem(list) : nullptr;
    const char* item = entry != nullptr
                           ? static_cast<const char*>(g_object_get_data(G_OBJECT(entry), kItemOfEntry))
                           : nullptr;
    if (item == nullptr)
        return;
    m_itemAddress = uString(item);
    if (m_shownAgain)
        m_shownAgain(m_itemAddress);
#endif
}

void CHtmlCtrl::ReturnToWrittenPage(const uString& address)
{
    pagescheme::WrittenPage page;
    if (!pagescheme::Find(address, page))
        return;
    // Its parts come before the pane hears that it committed.
    pagescheme::ServeFiles(m_templateDir, page.files);
    m_returningTo = address;
}

void CHtmlCtrl::ShowWrittenPageAgain()
{
    pagescheme::WrittenPage page;
    const uString address = m_returningTo;
    m_returningTo.setEmpty();
    if (!pagescheme::Find(address, page))
        return;
    // As when it was written, but with no new entry.
    m_feedLinks.clear();
    m_shown = htmlctrl::PageShown::kWrittenLoading;
    m_shownWrite = address;
    m_page = std::make_shared<char>();
    m_leaving = false;
    m_rewrites = 0;
    m_lastWritten = page;
    m_itemAddress = page.address;
    m_source = page.html;
    m_hasSource = true;
    Report(-1, nullptr);
    if (m_address)
        m_address(ToWx(page.address));
    if (m_shownAgain)
        m_shownAgain(page.address);
}

void CHtmlCtrl::DropUnreachablePages(const void* current)
{
#ifdef __WXGTK__
    const webkitcalls::HistoryApi& api = webkitcalls::History();
    void* native = m_view != nullptr ? m_view->GetNativeBackend() : nullptr;
    void* list = api.list != nullptr && native != nullptr ? api.list(native) : nullptr;
    if (list == nullptr || m_keptPages.empty())
        return;
    // What the history holds, and the write still on its way to it.
    std::set<std::string> reachable{m_shownWrite.c_str(), m_returningTo.c_str()};
    if (current != nullptr)
        reachable.insert(api.itemUri(const_cast<void*>(current)));
    for (GList* entries : {api.backList(list), api.forwardList(list)})
    {
        for (GList* entry = entries; entry != nullptr; entry = entry->next)
            reachable.insert(api.itemUri(entry->data));
        g_list_free(entries);
    }
    for (auto kept = m_keptPages.begin(); kept != m_keptPages.end();)
    {
        if (reachable.count(*kept) != 0)
        {
            ++kept;
            continue;
        }
        pagescheme::Drop(uString(kept->c_str()));
        kept = m_keptPages.erase(kept);
    }
#else
    (void)current;
#endif
}

void CHtmlCtrl::OnAppCmd(const uString& name)
{
    if (m_commands == nullptr || m_view == nullptr || m_view->GetParent() == nullptr)
        return;
    // Every entry of that name posts, not only the first.
    for (const CHtmlCommand* entry = m_commands; entry->name != nullptr; ++entry)
    {
        if (name.compareNoCase(entry->name) == 0)
            wxQueueEvent(m_view->GetParent(), new wxCommandEvent(wxEVT_MENU, entry->command));
    }
}

void CHtmlCtrl::OnNavigating(wxWebViewEvent& event)
{
    uString command;
    if (htmlctrl::IsAppCommand(ToUString(event.GetURL()), command))
    {
        event.Veto();
        OnAppCmd(command);
        return;
    }
}

bool CHtmlCtrl::OnNavigationDecision(const htmlctrl::Navigation& navigation)
{
    // Our own write loads an address of its own under the base address,
    // which the scheme never serves: the first question about it is the
    // write's; a later one is the page loading itself again.
    if (m_writes.OnAsked(navigation.url))
        return true;
    // A written page is come back to through the history only: no page or
    // frame is sent to one.
    const bool written = htmlctrl::CWrittenPages::IsWritten(navigation.url);
    if (written && navigation.kind != htmlctrl::NavigationKind::kBackForward &&
        navigation.kind != htmlctrl::NavigationKind::kReload)
        return false;
    const bool commanded = m_command.IsCommanded(navigation);
    m_command.OnDecided(navigation);
    m_acts->TakePressBeforeReport(navigation);
    const bool usersOwn = m_acts->OnNavigation(navigation, commanded);
    // A folder the page names (the one that holds an enclosure) is shown by
    // the desktop, the pane cannot list it; only when the user asked: a
    // page, frame or refresh would start the file manager by itself.
    if (std::string folder;
        pagescheme::Resolve(navigation.url, folder) && uFile(folder.c_str()).isDirectory())
    {
        if (usersOwn && !navigation.redirect)
        {
            m_command.Clear();
            ui::GetShell().Open(uString(folder.c_str()));
        }
        return false;
    }
    const htmlctrl::NavigationVerdict verdict = htmlctrl::MayNavigate(m_shown, navigation, usersOwn);
    if (verdict == htmlctrl::NavigationVerdict::kRefuse)
        return false;
    if (verdict == htmlctrl::NavigationVerdict::kLeave)
    {
        // The command's navigation is this one; later ones are the page's own.
        if (commanded)
            m_command.Clear();
        m_leaving = true;
        if (written)
            ReturnToWrittenPage(navigation.url);
    }
    return true;
}

bool CHtmlCtrl::MayTakePageAnswer(const uString& address)
{
    // As at the commit below, but before the page's scripts can run.
    if (m_shown == htmlctrl::PageShown::kBrowsed || m_leaving || m_command.MayHaveCommitted(address) ||
        htmlctrl::CWrittenPages::IsWritten(address) ||
        uString(address.c_str(), 0, std::min(address.getLength(), 6)).compareNoCase("about:") == 0)
        return true;
    // Not from inside the engine's signal.
    if (!m_writes.IsPending() && m_rewrites < kMaxRewrites && wxTheApp != nullptr)
    {
        ++m_rewrites;
        wxTheApp->CallAfter(
            [this, alive = std::weak_ptr<char>(m_alive)]
            {
                if (!alive.expired() && m_view != nullptr && m_shown != htmlctrl::PageShown::kBrowsed)
                    PutWrittenPage();
            });
    }
    return false;
}

void CHtmlCtrl::OnNavigated(wxWebViewEvent& event)
{
    // A command's page may commit before WebKit asks about it (a page of
    // another site, loaded in a process of its own).
    const uString committed = ToUString(event.GetURL());
    if (htmlctrl::CWrittenPages::IsWritten(committed))
    {
        if (!m_returningTo.isEmpty() && committed == m_returningTo)
            ShowWrittenPageAgain();
        return;
    }
    if (m_shown != htmlctrl::PageShown::kBrowsed && !m_leaving && !m_command.MayHaveCommitted(committed))
    {
        // Nobody asked for this page. WebKit does load its start page late,
        // past the policy, when writes follow the view's creation closely:
        // the written page goes back (a write still on its way replaces the
        // page anyway).
        if (!m_writes.IsPending() && m_rewrites < kMaxRewrites)
        {
            ++m_rewrites;
            PutWrittenPage();
        }
        return;
    }
    m_leaving = false;
    // Another page committing (one the view started before the command)
    // leaves the command waiting for its own.
    if (m_command.MayHaveCommitted(committed))
        m_command.Clear();
    m_shown = htmlctrl::PageShown::kBrowsed;
    m_page = std::make_shared<char>();
    if (m_address)
        m_address(event.GetURL());
    TellItemOfEntry();
    if (IsOwnOrBlank(event.GetURL()))
        return;
    // The user went elsewhere: the written page is no longer what is shown.
    m_hasSource = false;
    m_source.setEmpty();
}

bool CHtmlCtrl::IsOwnOrBlank(const wxString& url) const
{
    // Only our writes load their addresses; a load that a later navigation
    // cancelled still reports, and must not count as browsing.
    if (htmlctrl::CWrittenPages::IsWritten(ToUString(url)))
        return true;
    // The blank page the view starts on may report after a first write.
    return m_hasSource && url == "about:blank";
}

void CHtmlCtrl::OnNewWindow(wxWebViewEvent& event)
{
    OnNewWindowAsked(ToUString(event.GetURL()));
}

bool CHtmlCtrl::IsPopupAllowed() const
{
    return m_acts->MayOpenWindow();
}

void CHtmlCtrl::OnNewWindowAsked(const uString& url)
{
    // An address refused uses up nothing.
    if (!htmlctrl::MayOpenOutside(url) || !m_acts->TakeWindow())
        return;
    if (m_openWindow)
        m_openWindow(ToWx(url));
    else
        ui::GetShell().Open(url);
}

void CHtmlCtrl::OnLoaded(wxWebViewEvent& event)
{
    OnStartPageDone();
    // Our page is complete when the shown write's load ends; a replaced
    // write's load may end after the newer one was put.
    if (ToUString(event.GetURL()) == m_shownWrite && m_shown == htmlctrl::PageShown::kWrittenLoading &&
        !m_writes.IsPending())
        m_shown = htmlctrl::PageShown::kWrittenLoaded;
    if (IsOwnOrBlank(event.GetURL()))
    {
        // Our own page: the indicator stays as the write set it.
        return;
    }
    SearchFeedLinks(event.GetURL());
}

void CHtmlCtrl::OnError(wxWebViewEvent&)
{
    OnStartPageDone();
}

void CHtmlCtrl::OnTitleChanged(wxWebViewEvent& event)
{
    m_title = event.GetString();
}

#ifdef __WXGTK__
namespace
{
// A read of the shown page's bytes; the pane may go before the engine
// answers.
struct SourceRead
{
    std::weak_ptr<char> alive;
    std::function<void(bool read, const uString& page)> done;
};

void OnSourceRead(GObject* resource, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<SourceRead> read(static_cast<SourceRead*>(data));
    gsize length = 0;
    guchar* bytes = webkitcalls::Source().getDataFinish(resource, result, &length, nullptr);
    if (!read->alive.expired())
    {
        // No bytes: the engine lost them (its page's process ended), which
        // is no empty page.
        uString page;
        if (bytes != nullptr)
            page.assign(reinterpret_cast<const char*>(bytes), 0, static_cast<int>(length));
        read->done(bytes != nullptr, page);
    }
    g_free(bytes);
}
} // namespace
#endif

bool CHtmlCtrl::ReadShownPage(std::function<void(bool read, const uString& page)> done)
{
    if (m_view == nullptr)
        return false;
#ifdef __WXGTK__
    // Not through the toolkit's GetPageSource: it waits in a loop of its
    // own, in which a stop could close the pane under it.
    const webkitcalls::SourceApi& api = webkitcalls::Source();
    void* resource = api.mainResource != nullptr ? api.mainResource(m_view->GetNativeBackend()) : nullptr;
    if (resource == nullptr)
        return false;
    api.getData(resource, nullptr, OnSourceRead, new SourceRead{m_alive, std::move(done)});
    return true;
#else
    done(true, ToUString(m_view->GetPageSource()));
    return true;
#endif
}

void CHtmlCtrl::SearchFeedLinks(const wxString& url)
{
    if (m_view == nullptr || m_hasSource)
        return;
    ReadShownPage(
        [this, url](bool read, const uString& page)
        {
            if (read)
                FindFeedLinks(url, page);
        });
}

void CHtmlCtrl::FindFeedLinks(const wxString& url, const uString& page)
{
    // A newer page or a written one took its place meanwhile.
    if (m_view == nullptr || m_hasSource || m_view->GetCurrentURL() != url)
        return;
    auto* handler = new CFeedLinkHandler(ToUString(url));
    uHtmlParser parser;
    parser.setHandler(handler); // the parser owns it
    parser.parseBuffer(page.c_str(), page.getLength());
    m_feedLinks.clear();
    const std::vector<uString>& links = handler->GetLinks();
    const std::vector<uString>& titles = handler->GetTitles();
    for (std::size_t i = 0; i < links.size() && i < titles.size(); ++i)
        m_feedLinks.push_back(CFeedLink{links[i], titles[i]});
    Report(static_cast<long>(m_feedLinks.size()), nullptr);
}

void CHtmlCtrl::Report(long value, const uString* text)
{
    if (m_status)
        m_status(value, text);
}
