#include "WebKitCalls.h"
#include "common/Messages.h"
#include "feeds/Preference.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "mainwindow/StartupRules.h"

#include <string>
#include <wx/webview.h>
#ifdef __WXGTK__
#include <gio/gio.h>
#endif

// A download the pane watches: whether the program takes it over, where it
// goes, and whether it failed. Freed when WebKit reports it finished, which
// it does after a failure too; `control` is emptied when the pane goes first.
struct CPaneDownload
{
    CHtmlCtrl* control = nullptr;
    std::uint32_t message = 0;
    std::string path;
    bool failed = false;
};

namespace
{
#ifdef __WXGTK__
// The kind's own extension on the file's name.
std::string FileName(std::string name, std::uint32_t message)
{
    if (name.empty() || name[0] == '.')
        name = "download" + name;
    const char* extension = message == WM_APP_OPENTORRENTFILE ? ".torrent"
                            : message == WM_APP_OPENRSSFILE   ? ".rss"
                                                              : ".opml";
    if (startup::DocumentMessageFor(name) != message)
        name += extension;
    return name;
}

// "name.torrent", else "name (2).torrent" and on: an earlier download stays.
std::string FreePath(const std::string& folder, const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string path = folder + "/" + name;
    for (int number = 2; uFile(path.c_str()).exists(); ++number)
        path = folder + "/" + stem + " (" + std::to_string(number) + ")" + extension;
    return path;
}

gboolean OnDecideDestination(GObject* download, gchar* suggested, gpointer data)
{
    auto* record = static_cast<CPaneDownload*>(data);
    const webkitcalls::DownloadApi& api = webkitcalls::Downloads();
    void* response = api.response(download);
    if (record->control == nullptr || response == nullptr)
        return FALSE;
    const char* type = api.mimeType(response);
    const char* uri = api.responseUri(response);
    const std::string name = webkitcalls::DownloadName(suggested, uri);
    const std::uint32_t message =
        htmlctrl::ProgramFileMessage(uString(type != nullptr ? type : ""), uString(name.c_str()));
    // Anything else is the desktop's, as WebKit would have it.
    const uString folder = CPreference::GetInstance()->GetDownloadDir().getPath();
    if (message == 0 || folder.isEmpty())
        return FALSE;
    record->message = message;
    record->path = FreePath(folder.c_str(), FileName(name, message));
    gchar* destination = g_filename_to_uri(record->path.c_str(), nullptr, nullptr);
    if (destination == nullptr)
    {
        record->message = 0;
        return FALSE;
    }
    api.setDestination(download, destination);
    g_free(destination);
    return TRUE;
}

void OnDownloadFailed(GObject*, GError*, gpointer data)
{
    static_cast<CPaneDownload*>(data)->failed = true;
}

void OnDownloadFinished(GObject*, gpointer data)
{
    auto* record = static_cast<CPaneDownload*>(data);
    if (record->control != nullptr)
        record->control->OnDownloadEnded(record);
    delete record;
}

void OnContextDownloadStarted(GObject*, GObject* download, gpointer control)
{
    static_cast<CHtmlCtrl*>(control)->OnDownloadStarted(download);
}
#endif
} // namespace

void CHtmlCtrl::WatchDownloads()
{
#ifdef __WXGTK__
    // Downloads are the context's, shared by every view: each is checked
    // for its view when it starts.
    const webkitcalls::DownloadApi& api = webkitcalls::Downloads();
    if (auto* native = m_view->GetNativeBackend(); native != nullptr && api.viewContext != nullptr)
        m_downloadSignal = g_signal_connect(api.viewContext(native), "download-started",
                                            G_CALLBACK(OnContextDownloadStarted), this);
#endif
}

void CHtmlCtrl::StopWatchingDownloads()
{
#ifdef __WXGTK__
    if (m_downloadSignal != 0 && m_view != nullptr)
        g_signal_handler_disconnect(webkitcalls::Downloads().viewContext(m_view->GetNativeBackend()),
                                    m_downloadSignal);
#endif
    m_downloadSignal = 0;
    // Downloads still running end without this pane.
    for (CPaneDownload* download : m_downloads)
        download->control = nullptr;
    m_downloads.clear();
}

void CHtmlCtrl::OnDownloadStarted(void* download)
{
#ifdef __WXGTK__
    if (m_view == nullptr || webkitcalls::Downloads().webView(download) != m_view->GetNativeBackend())
        return;
    // The navigation that let it through ends here: the page stays.
    m_leaving = false;
    auto* record = new CPaneDownload;
    record->control = this;
    m_downloads.insert(record);
    g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), record);
    g_signal_connect(download, "failed", G_CALLBACK(OnDownloadFailed), record);
    g_signal_connect(download, "finished", G_CALLBACK(OnDownloadFinished), record);
#else
    (void)download;
#endif
}

void CHtmlCtrl::OnDownloadEnded(CPaneDownload* download)
{
    m_downloads.erase(download);
    if (download->message == 0 || download->failed)
        return;
    // Opening may ask the user first: not inside WebKit's notification.
    const std::uint32_t message = download->message;
    const uString path(download->path.c_str());
    CallAfter(
        [this, message, path]
        {
            if (m_openFile)
                m_openFile(message, path);
        });
}
