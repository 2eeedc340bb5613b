#pragma once

// What the browser pane's download tests share: the documents a site
// offers, the pane's copies in the temp folder and a click on a link.
#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "dialogs/TorrentCtrl.h"
#include "feeds/Preference.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/LocalHttpServer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <wx/timer.h>
#include <wx/webview.h>

// A torrent handed over opens its panel, which waits for the user: while
// this lives, each such panel is closed and counted.
class CTorrentPanelWatch
{
public:
    CTorrentPanelWatch()
    {
        m_timer.Bind(wxEVT_TIMER,
                     [this](wxTimerEvent&)
                     {
                         for (wxWindow* window : wxTopLevelWindows)
                             if (auto* panel = dynamic_cast<CTorrentCtrl*>(window); panel && panel->IsModal())
                             {
                                 ++m_shown;
                                 guitest::Press(*panel, wxID_OK);
                             }
                     });
        m_timer.Start(50);
    }
    void Stop() { m_timer.Stop(); }
    int Shown() const { return m_shown; }

private:
    wxTimer m_timer;
    int m_shown = 0;
};

// An answer to be saved, not shown, under the server's name.
inline testsupport::HttpResponse Attachment(const std::string& type, const std::string& name,
                                            const std::string& body)
{
    testsupport::HttpResponse response;
    response.header("Content-Type", type).header("Content-Disposition", "attachment; filename=" + name);
    response.body = body;
    return response;
}

// The browser pane's hand-off copies in the temp folder ("page-...", whatever
// their ending).
inline int PaneFiles()
{
    int count = 0;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(CPreference::GetInstance()->GetTempDir().getPath().c_str()))
        count += entry.path().filename().string().rfind("page-", 0) == 0 ? 1 : 0;
    return count;
}

// The browser engine's network process of this program (a child of ours),
// or of the program `parent`, while it lives; 0 when there is none. `name`:
// another of its processes, as /proc cuts its name.
inline int EngineNetworkProcess(int parent = ::getpid(), const char* name = "WebKitNetworkPr")
{
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator("/proc", error))
    {
        const std::string id = entry.path().filename().string();
        if (id.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "stat");
        std::string stat;
        std::getline(file, stat);
        // "id (name) state parent ...", the name cut to 15 bytes.
        const std::size_t open = stat.find('(');
        const std::size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size())
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        int itsParent = 0;
        rest >> state >> itsParent;
        if (itsParent == parent && state != 'Z' && stat.compare(open + 1, close - open - 1, name) == 0)
            return std::stoi(id);
    }
    return 0;
}

// Shows a page whose one link fills the pane, and clicks it.
inline void ClickLinkIn(CMainFrame& frame, testsupport::LocalHttpServer& server, const std::string& path)
{
    server.serveContent("/page.html",
                        "<html><body style='margin:0'><a href='" + path +
                            "' style='display:block;width:100%;height:600px'>the document</a>"
                            "</body></html>",
                        "text/html");
    frame.GetBrowserFrame()->Navigate(uString(server.url("/page.html").c_str()));
    wxWebView& view = *frame.GetBrowser();
    ASSERT_FALSE(guitest::WaitForPage(view, "the document").empty());
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !view.IsBusy(); }, 15000));
    guitest::ClickAt(view.GetScreenPosition() + wxPoint(view.GetSize().x / 2, 40));
}
