#include "mainwindow/PaneDownloads.h"

#include "UserActWatch.h"
#include "WebKitCalls.h"
#include "common/Messages.h"
#include "mainwindow/PaneDownloadRules.h"
#include "mainwindow/UserActs.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include <wx/app.h>
#include <wx/webview.h>

#ifdef __WXGTK__
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glib-object.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

struct CPaneDownloads::Shared
{
    void* view = nullptr; // the browser engine's view whose downloads these are
    Hooks hooks;
    std::shared_ptr<CUserActs> acts;
    const CUserActWatch* watch = nullptr; // outlives us

    bool HasHooks() const { return hooks.folder && hooks.open; }
};

#ifdef __WXGTK__
namespace
{
const webkitcalls::DownloadApi& Api()
{
    return webkitcalls::Downloads();
}

constexpr const char* kRecordKey = "kestrova-pane-download";

// One download of our view, kept as data of the download object.
struct Download
{
    std::weak_ptr<CPaneDownloads::Shared> shared;
    std::uint32_t message = 0;
    std::string path;               // where the engine writes it
    std::uint64_t expectedSize = 0; // 0: not known
    bool uncheckedEnd = false;      // its end cannot be told: it replaces no file, it goes beside it
    bool failed = false;
    bool ended = false; // the engine has said its last word of it
    bool saved = false; // saved where the user chose, not opened
    std::string chosen; // the user's choice, which `path` becomes once complete
    std::string note;   // tells a start after a kill where `path` is
    // The file under `chosen` when the user chose it.
    panedownload::FileId replaceable;
    // The engine's network processes while it still held the download.
    std::vector<int> networkProcesses;

    ~Download();
};

// The engine's network processes now (children of ours), each as a
// descriptor of that very process.
std::vector<int> NetworkProcesses()
{
    std::vector<int> found;
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator("/proc", error))
    {
        std::string stat;
        std::getline(std::ifstream(entry.path() / "stat"), stat);
        // "id (name) state parent ...", the name cut to 15 bytes.
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos || stat.find(" (WebKitNetworkPr) ") == std::string::npos ||
            std::atol(stat.c_str() + std::min(close + 4, stat.size())) != ::getpid())
            continue;
        if (const int process = static_cast<int>(::syscall(SYS_pidfd_open, std::atoi(stat.c_str()), 0));
            process >= 0)
            found.push_back(process);
    }
    return found;
}

// The engine lets its downloads go, unsaid, when its network process ends;
// one that took its place has none of them.
bool AnyEnded(const std::vector<int>& processes)
{
    return std::any_of(processes.begin(), processes.end(),
                       [](int process)
                       {
                           pollfd ended{process, POLLIN, 0};
                           return ::poll(&ended, 1, 0) != 0;
                       });
}

// The saves whose download the engine has not yet ended: a stop lets them
// end first, for a while.
std::set<Download*>& SavesUnderWay()
{
    // Never destroyed: a download may end after the program's statics.
    static auto* saves = new std::set<Download*>;
    return *saves;
}

std::string StringProperty(GObject* object, const char* name)
{
    gchar* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    std::string text = value != nullptr ? value : "";
    g_free(value);
    return text;
}

// Which document of the program's a response brings, if any (0: none).
std::uint32_t MessageFor(GObject* response, const char* name)
{
    return panedownload::MessageFor(StringProperty(response, "mime-type"), name != nullptr ? name : "",
                                    StringProperty(response, "uri"));
}

// A feed is subscribed by its address: a copy of the response would be the
// same snapshot at every refresh. False for anything but a feed (`message`),
// and when nobody takes feeds.
bool SubscribeFeed(const CPaneDownloads::Shared& shared, std::uint32_t message, const std::string& address)
{
    if (message != WM_APP_OPENRSSFILE || !shared.HasHooks() || !shared.hooks.subscribe || address.empty())
        return false;
    shared.hooks.subscribe(uString(address.c_str()));
    return true;
}

// `savedAs`: where a saved download went when not under the chosen name.
void Tell(const Download& record, bool saved, const std::string& savedAs = std::string())
{
    if (!record.saved)
        return;
    std::shared_ptr<CPaneDownloads::Shared> shared = record.shared.lock();
    if (!shared)
        return;
    using Beside = CPaneDownloads::Hooks::Beside;
    if (!savedAs.empty() && shared->hooks.savedBeside)
        // Still under our name: the file system would not move it. Beside
        // the file the user agreed to replace only when the end is not
        // known; any other took the name after the choice.
        shared->hooks.savedBeside(uString(record.chosen.c_str()), uString(savedAs.c_str()),
                                  savedAs == record.path ? Beside::kMoveRefused
                                  : record.uncheckedEnd &&
                                          panedownload::FileUnder(record.chosen).IsSameAs(record.replaceable)
                                      ? Beside::kEndUnchecked
                                      : Beside::kLaterFile);
    else if (shared->hooks.saved)
        shared->hooks.saved(saved, uString((savedAs.empty() ? record.chosen : savedAs).c_str()));
}

// The engine's file goes when the download ends, ours (and its note) when
// we are done with it.
void RemoveOurFiles(Download& record)
{
    if (!record.path.empty())
    {
        ::unlink(record.path.c_str());
        ::unlink((record.path + panedownload::kEnginePartEnding).c_str());
    }
    if (!record.note.empty())
        ::unlink(record.note.c_str());
    record.note.clear();
}

void Discard(Download& record)
{
    record.failed = true;
    SavesUnderWay().erase(&record);
    // A part of a document is no document; a file the save would have
    // replaced is left as it was.
    RemoveOurFiles(record);
}

void SetDestination(GObject* download, const std::string& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    // Our file was made empty just now to reserve a name of ours; the
    // engine makes it anew, over no file. Over one it would write a
    // temporary file of its own first, which an end of its process leaves.
    ::unlink(path.c_str());
    g_object_set(download, "allow-overwrite", FALSE, nullptr);
    Api().setDestination(download, uri);
    g_free(uri);
}

std::string HeaderOf(void* headers, const char* name)
{
    const char* value = headers != nullptr ? Api().header(headers, name) : nullptr;
    return value != nullptr ? value : "";
}

// A download the engine still holds and that has not ended, with a
// reference for the caller; null once the engine has let it go (its network
// process died, or it failed or finished): such a download is never touched
// again. The pane holds none of its downloads beyond the engine's signals but
// through a weak reference checked here.
GObject* HeldDownload(GWeakRef& weak)
{
    auto* download = static_cast<GObject*>(g_weak_ref_get(&weak));
    const auto* record =
        download != nullptr ? static_cast<Download*>(g_object_get_data(download, kRecordKey)) : nullptr;
    if (record != nullptr && !record->failed && !record->ended && !AnyEnded(record->networkProcesses))
        return download;
    if (download != nullptr)
        g_object_unref(download);
    return nullptr;
}

// Where the user wants a download the program does not open. Run after the
// engine's signal has returned: the dialog's loop may close the window, and
// with it the view, and the engine may let the download go meanwhile. The
// download waits for its destination.
void ChooseSaveFile(GWeakRef& weak, const std::weak_ptr<CPaneDownloads::Shared>& pane,
                    const std::string& suggestedName)
{
    std::function<uString(const uString&)> saveAs;
    if (GObject* download = HeldDownload(weak))
    {
        if (std::shared_ptr<CPaneDownloads::Shared> shared = pane.lock())
            saveAs = shared->hooks.saveAs;
        g_object_unref(download);
    }
    const std::string chosen = saveAs ? saveAs(uString(suggestedName.c_str())).c_str() : std::string();
    // The pane may have gone while the user chose, or the download broken.
    std::shared_ptr<CPaneDownloads::Shared> shared = pane.lock();
    GObject* download = HeldDownload(weak);
    auto* record =
        download != nullptr ? static_cast<Download*>(g_object_get_data(download, kRecordKey)) : nullptr;
    std::string path;
    if (chosen.empty() || !shared || record == nullptr || !panedownload::MakeSaveFile(chosen, path))
    {
        if (!chosen.empty() && shared && shared->hooks.saved)
            shared->hooks.saved(false, uString(chosen.c_str()));
        else if (chosen.empty() && saveAs && shared && shared->hooks.cancelled)
            shared->hooks.cancelled(uString(suggestedName.c_str()));
        if (download != nullptr)
        {
            Api().cancel(download);
            g_object_unref(download);
        }
        return;
    }
    record->saved = true;
    record->chosen = chosen;
    // The file the user was asked about, if any: no other is replaced.
    record->replaceable = panedownload::FileUnder(chosen);
    record->path = path;
    // Without a note a kill leaves the file behind, nothing worse.
    panedownload::MakeSaveNote(shared->hooks.folder().c_str(), path, chosen, record->expectedSize,
                               record->note);
    SavesUnderWay().insert(record);
    SetDestination(download, path);
    g_object_unref(download);
}

// The response has arrived: a feed goes by its address, another document
// of the program's to a file of ours, anything else where the user
// chooses; nothing is written when the user cancels.
gboolean OnDecideDestination(GObject* download, gchar* suggestedName, gpointer data)
{
    auto* record = static_cast<Download*>(data);
    std::shared_ptr<CPaneDownloads::Shared> shared = record->shared.lock();
    GObject* response = nullptr;
    g_object_get(download, "response", &response, nullptr);
    if (!shared || !shared->HasHooks() || response == nullptr)
    {
        if (response != nullptr)
            g_object_unref(response);
        Api().cancel(download);
        return TRUE;
    }
    const std::uint32_t message = MessageFor(response, suggestedName);
    if (SubscribeFeed(*shared, message, StringProperty(response, "uri")))
    {
        g_object_unref(response);
        Api().cancel(download);
        return TRUE;
    }
    guint64 length = 0;
    g_object_get(response, "content-length", &length, nullptr);
    void* headers = Api().responseHeaders(response);
    const char* coding = headers != nullptr ? Api().header(headers, "Content-Encoding") : nullptr;
    record->expectedSize = panedownload::ExpectedSize(length, coding != nullptr ? coding : "");
    record->uncheckedEnd = panedownload::HasUncheckedEnd(coding != nullptr ? coding : "",
                                                         HeaderOf(headers, "Transfer-Encoding"));
    g_object_unref(response);
    record->message = message;
    if (message == 0)
    {
        if (!shared->hooks.saveAs || wxTheApp == nullptr)
        {
            Api().cancel(download);
            return TRUE;
        }
        std::shared_ptr<GWeakRef> weak(new GWeakRef,
                                       [](GWeakRef* weak)
                                       {
                                           g_weak_ref_clear(weak);
                                           delete weak;
                                       });
        g_weak_ref_init(weak.get(), download);
        record->networkProcesses = NetworkProcesses();
        wxTheApp->CallAfter([weak, pane = record->shared,
                             name = panedownload::SaveName(suggestedName != nullptr ? suggestedName : "")]
                            { ChooseSaveFile(*weak, pane, name); });
        return TRUE;
    }
    if (!panedownload::MakeDownloadFile(shared->hooks.folder().c_str(), message, record->path))
    {
        Api().cancel(download);
        return TRUE;
    }
    SetDestination(download, record->path);
    return TRUE;
}

void OnFailed(GObject*, GError*, gpointer data)
{
    auto* record = static_cast<Download*>(data);
    Discard(*record);
    Tell(*record, false);
}

// The engine has all of a download. It also ends one whose connection
// broke early as if it were complete: the size tells. A saved download
// takes the user's name only then, over the file the user agreed to
// replace alone; when no size can tell, or another file took the name
// meanwhile (another save's, say), it is kept beside it, under a free name.
void Finish(Download* record)
{
    SavesUnderWay().erase(record);
    struct stat info
    {
    };
    std::string savedAs;
    const panedownload::FileId replaceable =
        record->uncheckedEnd ? panedownload::FileId() : record->replaceable;
    if (::stat(record->path.c_str(), &info) != 0 ||
        (record->expectedSize != 0 && static_cast<std::uint64_t>(info.st_size) != record->expectedSize))
    {
        Discard(*record);
        Tell(*record, false);
        return;
    }
    if (record->saved)
    {
        // A whole download the file system will not move stays where it is.
        if (!panedownload::MoveSaveFile(record->path, record->chosen, replaceable) &&
            !(errno == EEXIST && panedownload::MoveSaveFileBeside(record->path, record->chosen, savedAs)))
            savedAs = record->path;
        Tell(*record, true, savedAs);
        record->path.clear(); // the user's file now
        RemoveOurFiles(*record);
        return;
    }
    if (std::shared_ptr<CPaneDownloads::Shared> shared = record->shared.lock(); shared && shared->hooks.open)
        shared->hooks.open(record->message, uString(record->path.c_str()));
    record->path.clear(); // the hook's now, or the next start's
}

// The engine drops a download whose network process has died without
// saying it failed: a save still under way ends as failed there, unless
// the engine had moved all of it onto our file before its word of that; a
// document not yet handed on is no document, and its file goes.
Download::~Download()
{
    for (int process : networkProcesses)
        ::close(process);
    if (SavesUnderWay().count(this) == 0)
    {
        if (!failed && !path.empty())
            Discard(*this);
        return;
    }
    struct stat info
    {
    };
    if (::lstat((path + panedownload::kEnginePartEnding).c_str(), &info) != 0 && errno == ENOENT &&
        ::stat(path.c_str(), &info) == 0 && info.st_size > 0)
    {
        Finish(this);
        return;
    }
    Discard(*this);
    Tell(*this, false);
}

// Comes after a failure too.
void OnFinished(GObject*, gpointer data)
{
    auto* record = static_cast<Download*>(data);
    record->ended = true;
    if (!record->failed && !record->path.empty())
        Finish(record);
}

// An answer the engine would download (an attachment) or could not show is
// downloaded only when it is the page's own and the user asked for that
// load; otherwise nothing loads and nothing is written. What the engine can
// show it shows, except a feed or an outline the user followed, which goes
// to the program as a downloaded one does.
gboolean OnDecidePolicy(GObject*, GObject* decision, int type, gpointer data)
{
    constexpr int kResponseDecision = 2;
    if (type != kResponseDecision)
        return FALSE;
    const auto& shared = *static_cast<std::shared_ptr<CPaneDownloads::Shared>*>(data);
    GObject* response = nullptr;
    g_object_get(decision, "response", &response, nullptr);
    if (response == nullptr)
        return FALSE;
    const std::string disposition = HeaderOf(Api().responseHeaders(response), "Content-Disposition");
    const bool attachment = panedownload::IsAttachment(disposition);
    // An attachment is downloaded anyway, and its name is looked at when it
    // arrives.
    const std::uint32_t message = MessageFor(response, nullptr);
    const std::string mimeType = StringProperty(response, "mime-type");
    const std::uint32_t typeMessage = panedownload::MessageForType(mimeType);
    const std::string address = StringProperty(response, "uri");
    g_object_unref(response);
    // Where the engine cannot say whether the answer is the page's own, it
    // is taken for a frame's. Without hooks nothing is taken.
    const bool pageItself =
        shared->HasHooks() && Api().isMainResource != nullptr && Api().isMainResource(decision);
    const CUserActs::AnswerUse use =
        shared->acts->UseOfAnswer(address, pageItself, attachment, typeMessage != 0, Api().canShow(decision));
    if (use == CUserActs::AnswerUse::kShow)
        return FALSE;
    if (use == CUserActs::AnswerUse::kRefuse)
    {
        Api().ignore(decision);
        return TRUE;
    }
    // A feed needs no copy: the program subscribes its address.
    if (SubscribeFeed(*shared, message, address))
    {
        shared->acts->UseUp(address);
        Api().ignore(decision);
        return TRUE;
    }
    shared->acts->Accept(address);
    Api().download(decision);
    return TRUE;
}

// Only the page's own load that the user started may ask for a login, in
// the engine's box; every other question (a frame's, an image's) is
// refused unseen, as its text is the server's. A feed link behind a login
// that the user followed goes to the program, whose own fetch asks for the
// login as a new subscription does and keeps it; the engine's box would
// only lead to the feed's text in the pane. The engine names only the
// server that asks, and the old page's frames and images go on loading
// while the user's next page loads: a question is taken only when no
// request but the page's own is in flight to that server.
gboolean OnAuthenticate(GObject*, GObject* request, gpointer data)
{
    const auto& shared = *static_cast<std::shared_ptr<CPaneDownloads::Shared>*>(data);
    const std::string address = shared->acts->UsersPageLoad();
    std::string mainRequest;
    std::vector<std::string> others;
    shared->watch->RequestsInFlight(mainRequest, others);
    const char* host = Api().loginHost(request);
    const bool users =
        host != nullptr && shared->acts->IsUsersLogin(host, static_cast<int>(Api().loginPort(request)),
                                                      Api().isForProxy(request), mainRequest, others);
    if (users && Api().isForProxy(request))
        return FALSE;
    if (users &&
        !SubscribeFeed(*shared, panedownload::MessageFor(std::string(), std::string(), address), address))
        return FALSE;
    if (users)
        shared->acts->UseUp(address);
    Api().cancelLogin(request);
    return TRUE;
}

// A refused download ends when the engine asks where to write it.
gboolean RefuseDestination(GObject* download, gchar*, gpointer)
{
    Api().cancel(download);
    return TRUE;
}

// Every download of our view is checked here: the one whose answer was
// just let through, or one that came without an answer to decide on (a
// link with a download attribute), which must be the user's click in the
// page itself. Any other ends before it has a file.
void OnDownloadStarted(GObject*, GObject* download, gpointer data)
{
    const auto& shared = *static_cast<std::shared_ptr<CPaneDownloads::Shared>*>(data);
    if (Api().downloadView(download) != shared->view)
        return;
    void* request = Api().downloadRequest(download);
    const char* uri = Api().requestUri(request);
    const std::string address = uri != nullptr ? uri : "";
    bool taken = false;
    if (!address.empty() && shared->HasHooks())
    {
        if (shared->acts->TakeAccepted(address))
            taken = true;
        else if (shared->acts->IsUnansweredUsers(address))
            taken = !shared->acts->UseUp(address).empty();
    }
    if (!taken)
    {
        // Cancelled when the engine asks where it goes, not before: a
        // cancel while the engine's network process still reads the answer
        // crashes the engine in our process when that process ends on it.
        g_signal_connect(download, "decide-destination", G_CALLBACK(RefuseDestination), nullptr);
        return;
    }
    auto* record = new Download();
    record->shared = shared;
    g_object_set_data_full(download, kRecordKey, record,
                           [](gpointer record) { delete static_cast<Download*>(record); });
    g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), record);
    g_signal_connect(download, "failed", G_CALLBACK(OnFailed), record);
    g_signal_connect(download, "finished", G_CALLBACK(OnFinished), record);
}

} // namespace
#endif

CPaneDownloads::CPaneDownloads(wxWebView* view, std::shared_ptr<CUserActs> acts, const CUserActWatch& watch)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->acts = std::move(acts);
    m_shared->watch = &watch;
#ifdef __WXGTK__
    m_shared->view = view != nullptr ? view->GetNativeBackend() : nullptr;
    if (m_shared->view == nullptr || Api().viewContext == nullptr)
        return;
    m_context = Api().viewContext(m_shared->view);
    if (m_context != nullptr && g_signal_lookup("download-started", G_OBJECT_TYPE(m_context)) != 0)
        m_signal = g_signal_connect(m_context, "download-started", G_CALLBACK(OnDownloadStarted), &m_shared);
    if (m_signal != 0)
        m_policySignal =
            g_signal_connect(m_shared->view, "decide-policy", G_CALLBACK(OnDecidePolicy), &m_shared);
    if (m_signal != 0 && Api().loginHost != nullptr)
        m_loginSignal =
            g_signal_connect(m_shared->view, "authenticate", G_CALLBACK(OnAuthenticate), &m_shared);
#else
    (void)view;
#endif
}

CPaneDownloads::~CPaneDownloads()
{
#ifdef __WXGTK__
    // The context outlives the view; its handler must not outlive us.
    if (m_signal != 0)
        g_signal_handler_disconnect(m_context, m_signal);
    if (m_policySignal != 0)
        g_signal_handler_disconnect(m_shared->view, m_policySignal);
    if (m_loginSignal != 0)
        g_signal_handler_disconnect(m_shared->view, m_loginSignal);
#endif
}

void CPaneDownloads::SetHooks(Hooks hooks)
{
    m_shared->hooks = std::move(hooks);
}

uString CPaneDownloads::FreeSaveName(const uString& folder, const uString& name)
{
    std::string offered = name.c_str();
#ifdef __WXGTK__
    // A folder told by what it is, however its path is spelt.
    auto folderOf = [](const std::string& path) { return panedownload::FileUnder(path + "/."); };
    const panedownload::FileId there = folderOf(folder.c_str());
    std::set<std::string> taken;
    for (const Download* record : ::SavesUnderWay())
    {
        const std::size_t slash = record->chosen.rfind('/');
        if (slash != std::string::npos && folderOf(record->chosen.substr(0, slash)).IsSameAs(there))
            taken.insert(record->chosen.substr(slash + 1));
    }
    // A numbered name is offered only where no file has it yet.
    const std::string path = std::string(folder.c_str()) + "/";
    for (unsigned number = 1; taken.count(offered) != 0 ||
                              (offered != name.c_str() && !panedownload::FileUnder(path + offered).IsNone());
         ++number)
        offered = panedownload::NumberedName(name.c_str(), number);
#endif
    return uString(offered.c_str());
}

bool CPaneDownloads::SavesUnderWay()
{
#ifdef __WXGTK__
    return !::SavesUnderWay().empty();
#else
    return false;
#endif
}

void CPaneDownloads::EndSaves()
{
#ifdef __WXGTK__
    const std::set<Download*> saves = ::SavesUnderWay();
    for (Download* record : saves)
    {
        // Once its part is gone the engine can no longer finish it; where
        // the engine had moved all of it onto our file already, its word
        // of that is still to come.
        const bool partRemoved =
            ::unlink((record->path + panedownload::kEnginePartEnding).c_str()) == 0 || errno != ENOENT;
        struct stat info
        {
        };
        if (!partRemoved && ::stat(record->path.c_str(), &info) == 0 && info.st_size > 0)
        {
            Finish(record);
            continue;
        }
        // The note stays: the next start removes what the engine may still
        // leave.
        ::unlink(record->path.c_str());
        record->failed = true;
        ::SavesUnderWay().erase(record);
    }
#endif
}
