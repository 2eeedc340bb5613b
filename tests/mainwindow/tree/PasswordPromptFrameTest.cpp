// Feeds and documents behind a login: every fetch the window runs behind its
// progress dialog asks for the password, keeps it, uses it the next time, and
// ends quietly enough when the user cancels the question.
#include "CommandIds.h"
#include "PromptWatchdog.h"
#include "SubscriptionFrameFixture.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/OpmlDialogs.h"
#include "feeds/AuthList.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/OpenDialogs.h"
#include "mainwindow/UiThreadCaller.h"
#include "mainwindow/WebBrowserFrame.h"

#include <wx/listctrl.h>
#include <wx/progdlg.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
constexpr const char* kUser = "reader";
constexpr const char* kPassword = "s3cret";

enum class Answer
{
    kLogin,
    kCancel,
};

class PasswordPromptFrameTest : public SubscriptionFrameTest
{
protected:
    void TearDown() override
    {
        if (m_credentials)
            m_credentials->Cancel();
        if (m_caller)
            m_caller->Detach();
        SubscriptionFrameTest::TearDown();
    }

    // The document answers 401 with a Basic challenge unless the request
    // carries the reader's login.
    void Guard(const std::string& path, const std::string& body, const std::string& type)
    {
        server.route(path,
                     [body, type](const testsupport::HttpRequest& request)
                     {
                         if (!testsupport::HasBasicAuth(request, kUser, kPassword))
                             return testsupport::UnauthorizedResponse();
                         return testsupport::TextResponse(200, body, type);
                     });
    }
    void GuardFeed(const std::string& path, const std::string& title)
    {
        std::string base = server.url("/");
        Guard(path, feedsite::Rss(title, base, feedsite::Items(base, title + " story", 1, 2)),
              "application/rss+xml");
    }
    uString Url(const std::string& path) const { return uString(server.url(path).c_str()); }

    // The frame, with a password prompt made as the frame makes its own (the
    // real dialog, over the frame) but that a watchdog can refuse.
    void StartWithPrompt()
    {
        Start();
        m_caller = std::make_shared<CUiThreadCaller>(m_frame.get());
        m_credentials = std::make_shared<CUiCredentialPrompt>(m_caller, m_frame.get());
        CCredentialPrompt::Install(m_credentials);
    }

    // Runs the command while the user answers the password prompt, with the
    // login or with Cancel; returns the captions of the prompts shown.
    std::vector<std::string> Answering(Answer answer, const std::function<void()>& command,
                                       const char* screenshot = nullptr)
    {
        auto captions = std::make_shared<std::vector<std::string>>();
        std::string shot = screenshot != nullptr ? screenshot : "";
        guitest::WhenDialogShownWithin<CPromptUserPassDlg>(
            15000,
            [captions, answer, shot](CPromptUserPassDlg& dialog)
            {
                captions->push_back(dialog.GetTitle().utf8_string());
                if (answer == Answer::kCancel)
                {
                    guitest::Press(dialog, wxID_CANCEL);
                    return;
                }
                wxDynamicCast(dialog.FindWindow(CPromptUserPassDlg::kUserEdit), wxTextCtrl)->SetValue(kUser);
                wxDynamicCast(dialog.FindWindow(CPromptUserPassDlg::kPasswordEdit), wxTextCtrl)
                    ->SetValue(kPassword);
                if (!shot.empty())
                {
                    // Both centre on the window: moved down a little, the
                    // prompt leaves the progress dialog's text in sight.
                    for (wxWindow* window : wxTopLevelWindows)
                        if (dynamic_cast<wxGenericProgressDialog*>(window) != nullptr)
                            dialog.Move(window->GetPosition() + wxPoint(60, 90));
                    guitest::TakeScreenshot(shot);
                }
                guitest::Press(dialog, wxID_OK);
            });
        Unattended(command);
        return *captions;
    }
    // Runs the command with nobody to answer a prompt: one that shows, or
    // that is waited for and never shown, fails the test.
    void Unattended(const std::function<void()>& command)
    {
        guitest::PromptWatchdog watchdog(*m_credentials);
        command();
        EXPECT_FALSE(watchdog.fired) << "a password prompt was left waiting";
    }

    bool Stored(const uString& url) const
    {
        uString user, password;
        return CPreference::GetInstance()->GetAuthList().GetCredentials(url.c_str(), user, password) &&
               std::string(user.c_str()) == kUser && std::string(password.c_str()) == kPassword;
    }
    // How many requests for the path carried the login.
    size_t WithLogin(const std::string& path) const
    {
        size_t count = 0;
        for (const testsupport::HttpRequest& request : server.requestsFor(path))
            count += testsupport::HasBasicAuth(request, kUser, kPassword) ? 1 : 0;
        return count;
    }
    void ShowPage(const uString& url, const std::string& html)
    {
        m_frame->GetBrowserFrame()->GetHtmlCtrl()->WriteHtml(uString(html.c_str()));
        m_frame->GetBrowserFrame()->SetAddressText(url);
    }

    testsupport::LocalHttpServer server;
    std::shared_ptr<CUiThreadCaller> m_caller;
    std::shared_ptr<CUiCredentialPrompt> m_credentials;
};

TEST_F(PasswordPromptFrameTest, NewSubscriptionAsksForTheLoginKeepsItAndSubscribes)
{
    GuardFeed("/private.xml", "Private news");
    GuardFeed("/refused.xml", "Refused news");
    StartWithPrompt();
    const uString url = Url("/private.xml");

    EXPECT_EQ(Answering(Answer::kLogin, [&] { SubscribeThroughDialog(url, 0); }),
              std::vector<std::string>{server.url("/private.xml")});
    EXPECT_TRUE(Stored(url)) << "the login is kept in the password manager";
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Private news (2)"});
    EXPECT_EQ(Count("default.mdb", "item", url), 2);
    EXPECT_TRUE(m_messages->texts.empty());
    EXPECT_TRUE(m_prompt->Ids().empty());

    // The kept login goes along; nobody is asked.
    server.clearLog();
    Unattended([&] { SubscribeThroughDialog(url, 1); });
    EXPECT_EQ(Count("user0.mdb", "item", url), 2);
    EXPECT_EQ(WithLogin("/private.xml"), 1u);

    // Cancel in the prompt: the feed is not subscribed and no login is kept.
    const uString refused = Url("/refused.xml");
    EXPECT_EQ(Answering(Answer::kCancel, [&] { SubscribeThroughDialog(refused, 0); }).size(), 1u);
    EXPECT_FALSE(Stored(refused));
    EXPECT_EQ(Count("default.mdb", "channel", refused), 0);
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Private news (2)"});
    EXPECT_EQ(m_messages->texts.size(), 1u) << "one message tells why";
}

// The directory behind a login, and Subscribe Now on its feed behind another:
// each download asks over its progress dialog, the feed's stored login serves
// the subscription's own fetch.
TEST_F(PasswordPromptFrameTest, SubscribeNowInTheDirectoryAsksOverTheProgressDialog)
{
    GuardFeed("/private.xml", "Private news");
    Guard("/directory.opml",
          R"(<?xml version="1.0"?><opml version="1.0"><head><title>Private directory</title></head><body>
<outline type="link" text="Private news" url=")" +
              server.url("/private.xml") + R"("/></body></opml>)",
          "text/x-opml");
    StartWithPrompt();
    std::vector<std::string> captions;
    std::string directoryLabel;
    guitest::WhenDialogShown<CFeedBrowserDlg>(
        [&](CFeedBrowserDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CFeedBrowserDlg::kUrlEdit), wxTextCtrl)
                ->SetValue(server.url("/directory.opml"));
            captions =
                Answering(Answer::kLogin, [&] { guitest::Press(dialog, CFeedBrowserDlg::kAddButton); });
            wxTreeCtrl* directory = dialog.GetTree();
            wxTreeItemIdValue cookie;
            wxTreeItemId top = directory->GetFirstChild(directory->GetRootItem(), cookie);
            if (top.IsOk())
            {
                directoryLabel = directory->GetItemText(top).utf8_string();
                directory->SelectItem(directory->GetFirstChild(top, cookie));
            }
            guitest::WhenDialogShownWithin<OPMLSubscribe>(
                15000,
                [](OPMLSubscribe& choice)
                {
                    guitest::Choose(wxDynamicCast(choice.FindWindow(OPMLExport::kListChoice), wxChoice), 0);
                    guitest::Press(choice, wxID_OK);
                });
            std::vector<std::string> more = Answering(
                Answer::kLogin, [&] { guitest::Press(dialog, CFeedBrowserDlg::kSubscribeButton); },
                "password-prompt-over-progress");
            captions.insert(captions.end(), more.begin(), more.end());
            guitest::Press(dialog, wxID_OK);
        });
    Command(resources::cmd::kBrowseDirectory);

    EXPECT_EQ(captions,
              (std::vector<std::string>{server.url("/directory.opml"), server.url("/private.xml")}));
    EXPECT_EQ(directoryLabel, "Private directory");
    EXPECT_TRUE(Stored(Url("/directory.opml")));
    EXPECT_TRUE(Stored(Url("/private.xml")));
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Private news (2)"});
    EXPECT_EQ(WithLogin("/private.xml"), 2u) << "the prompted download and the subscription's own";
}

// A stop signal while the prompt waits over the progress dialog: the prompt
// and the progress dialog end, nothing is subscribed or reported, and the
// window closes as File > Exit closes it.
TEST_F(PasswordPromptFrameTest, AStopWhileThePromptWaitsClosesTheWindowLikeExit)
{
    GuardFeed("/private.xml", "Private news");
    StartWithPrompt();
    const uString url = Url("/private.xml");
    COpenDialogs openDialogs;
    bool promptShown = false;
    guitest::WhenDialogShownWithin<CPromptUserPassDlg>(15000,
                                                       [&](CPromptUserPassDlg&)
                                                       {
                                                           promptShown = true;
                                                           // What the program's stop-signal handler does.
                                                           openDialogs.EndAll();
                                                           wxTheApp->CallAfter([this]
                                                                               { m_frame->Close(true); });
                                                       });
    Unattended([&] { SubscribeThroughDialog(url, 0); });
    EXPECT_TRUE(promptShown);
    guitest::RunEventsUntil([&] { return !m_frame; }, 30000);
    EXPECT_FALSE(m_frame) << "the window closed";
    EXPECT_TRUE(m_messages->texts.empty()) << "a stop is no failure to report";
    EXPECT_TRUE(m_prompt->Ids().empty());
    EXPECT_FALSE(Stored(url));
    EXPECT_EQ(Count("default.mdb", "channel", url), 0);
}

// Subscribing to an address, an outline file at an address, View Source and
// Look for News Feed: each is cancelled in the prompt once, then answered,
// then runs again on the kept login without asking.
TEST_F(PasswordPromptFrameTest, EveryFetchBehindTheProgressDialogAsksKeepsTheLoginAndEndsOnCancel)
{
    GuardFeed("/subscribe.xml", "Subscribed news");
    GuardFeed("/source.xml", "Source news");
    GuardFeed("/linked.xml", "Linked news");
    Guard("/outlines.opml",
          R"(<?xml version="1.0"?><opml version="2.0"><head><title>Outlines</title></head><body>
<outline type="rss" text="One" xmlUrl="http://127.0.0.1:9/one.xml"/></body></opml>)",
          "text/x-opml");
    StartWithPrompt();

    struct Path
    {
        const char* name;
        std::string document;
        // Runs the command; pass 0 is cancelled in the prompt, 1 answered, 2 unattended.
        std::function<void(int pass)> run;
        // What the command did when the login came along.
        std::function<void(int pass)> check;
    };
    std::vector<std::string> offered;
    int importRows = -1;
    const std::vector<Path> paths = {
        {"subscribe an address", "/subscribe.xml",
         [&](int pass)
         {
             if (pass > 0)
                 guitest::WhenDialogShownWithin<OPMLSubscribe>(
                     15000,
                     [pass](OPMLSubscribe& choice)
                     {
                         guitest::Choose(wxDynamicCast(choice.FindWindow(OPMLExport::kListChoice), wxChoice),
                                         pass - 1);
                         guitest::Press(choice, wxID_OK);
                     });
             m_frame->SendMessage(WM_APP_SUBSCRIBEURL, 0, Url("/subscribe.xml"));
         },
         [&](int pass)
         { EXPECT_EQ(Count(pass == 1 ? "default.mdb" : "user0.mdb", "item", Url("/subscribe.xml")), 2); }},
        {"view source", "/source.xml",
         [&](int pass)
         {
             long shown = m_frame->SendMessage(WM_APP_VIEWSOURCE, 0, Url("/source.xml"));
             if (pass > 0)
             {
                 EXPECT_EQ(shown, 0);
             }
         },
         [&](int)
         {
             uString source;
             ASSERT_TRUE(guitest::DocumentSource(*m_frame->GetBrowserFrame()->GetHtmlCtrl(), source));
             EXPECT_NE(std::string(source.c_str()).find("Source news"), std::string::npos) << source.c_str();
         }},
        {"outlines at an address", "/outlines.opml",
         [&](int pass)
         {
             importRows = -1;
             if (pass > 0)
                 guitest::WhenDialogShownWithin<OPMLImport>(15000,
                                                            [&](OPMLImport& dialog)
                                                            {
                                                                importRows =
                                                                    dialog.GetFeedList()->GetItemCount();
                                                                guitest::Press(dialog, wxID_CANCEL);
                                                            });
             m_frame->SendMessage(WM_APP_SUBSCRIBEURL, 0, Url("/outlines.opml"));
         },
         [&](int)
         {
             EXPECT_EQ(importRows, 1);
             EXPECT_EQ(m_prompt->Ids().back(), 3023);
         }},
        {"look for news feed", "/linked.xml",
         [&](int pass)
         {
             offered.clear();
             if (pass > 0)
                 guitest::WhenDialogShownWithin<OPMLImport>(
                     15000,
                     [&](OPMLImport& dialog)
                     {
                         for (long row = 0; row < dialog.GetFeedList()->GetItemCount(); ++row)
                             offered.push_back(dialog.GetFeedList()
                                                   ->GetItemText(row, OPMLImport::kTitleColumn)
                                                   .utf8_string());
                         guitest::Press(dialog, wxID_CANCEL);
                     });
             ShowPage(Url("/index.html"), "<p>News</p><a href=\"linked.xml\">feed</a>");
             Command(resources::cmd::kLookForFeeds);
         },
         [&](int) { EXPECT_EQ(offered, std::vector<std::string>{"Linked news"}); }},
    };

    for (const Path& path : paths)
    {
        SCOPED_TRACE(path.name);
        const uString url = Url(path.document);
        EXPECT_EQ(Answering(Answer::kCancel, [&] { path.run(0); }), std::vector<std::string>{url.c_str()});
        EXPECT_FALSE(Stored(url));

        EXPECT_EQ(Answering(Answer::kLogin, [&] { path.run(1); }), std::vector<std::string>{url.c_str()});
        EXPECT_TRUE(Stored(url));
        path.check(1);

        server.clearLog();
        // The kept login goes along; nobody is asked.
        Unattended([&] { path.run(2); });
        EXPECT_GE(WithLogin(path.document), 1u);
        path.check(2);
    }
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Subscribed news (2)"});
}
} // namespace
