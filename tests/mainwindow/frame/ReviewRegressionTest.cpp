// Faults found in review of the window program, each kept from coming back.
#include "GuiTestSupport.h"
#include "mainwindow/HtmlCtrl.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/webview.h>

namespace
{
// A page that opens windows while it loads (a script of a visited web page)
// may ask for any address; only web pages may leave for the desktop's
// browser, never a file or a scheme whose handler is some other program.
// One window opens for each load, and an address refused uses none up.
TEST(ReviewRegressionTest, PagesOpenOnlyWebWindowsOutside)
{
    testsupport::TempDir templates;
    testsupport::LocalHttpServer server;
    std::promise<void> release;
    server.route("/page.html",
                 [held = release.get_future().share()](const testsupport::HttpRequest&)
                 {
                     // The page has come in part: it is loading, and its
                     // own scripts run.
                     const std::string first = "<p>page</p>" + std::string(4096, ' ');
                     auto response = testsupport::TextResponse(200, first + "<p>rest</p>", "text/html");
                     response.holdAfter = first.size();
                     response.hold = [held] { held.wait_for(std::chrono::seconds(30)); };
                     return response;
                 });
    auto* frame = new wxFrame(nullptr, wxID_ANY, "pop-ups", wxPoint(20, 20), wxSize(320, 240));
    std::vector<std::string> opened;
    {
        CHtmlCtrl html(frame, wxID_ANY, uString(templates.path().c_str()));
        html.SetWindowOpener([&](const wxString& url) { opened.push_back(url.utf8_string()); });
        wxWebView* view = html.GetWebView();

        // A page of the web is loading, the rest held by its server: its
        // windows are allowed now.
        html.Navigate(uString(server.url("/page.html").c_str()));
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return html.IsPopupAllowed(); }, 15000));

        for (const char* url :
             {"file:///etc/passwd", "FILE:///bin/sh", "smb://127.0.0.1/share", "javascript:1",
              "ssh://127.0.0.1", "HTTPS://127.0.0.1/a", "http://127.0.0.1/b", "ftp://127.0.0.1/c"})
        {
            wxWebViewEvent popup(wxEVT_WEBVIEW_NEWWINDOW, view->GetId(), url, "");
            view->ProcessWindowEvent(popup);
        }
    }
    guitest::DestroyWindow(frame);
    release.set_value();
    EXPECT_EQ(opened, std::vector<std::string>{"HTTPS://127.0.0.1/a"});
}
} // namespace
