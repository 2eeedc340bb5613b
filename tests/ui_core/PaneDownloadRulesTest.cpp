#include "mainwindow/PaneDownloadRules.h"

#include "common/Messages.h"
#include "foundation/uProcess.h"
#include "mainwindow/UserActs.h"
#include "support/RefusingFileSystem.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glib.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

TEST(PaneDownloadRulesTest, TheTypeDecidesFirstThenTheSuggestedNameThenTheAddressPath)
{
    struct Case
    {
        const char* type;
        const char* name;
        const char* address;
        std::uint32_t message;
    };
    const Case cases[] = {
        // By type, whatever the name says, with parameters and any case.
        {"application/x-bittorrent", "get", "http://h/get?id=3", WM_APP_OPENTORRENTFILE},
        {"Application/X-BitTorrent; charset=binary", "", "http://h/x", WM_APP_OPENTORRENTFILE},
        {"application/rss+xml", "feed.opml", "http://h/feed.opml", WM_APP_OPENRSSFILE},
        {" text/x-opml ", "", "http://h/list", WM_APP_OPENOPMLFILE},
        {"application/x-opml", "", "http://h/list", WM_APP_OPENOPMLFILE},
        // A general type leaves it to the name the server suggests...
        {"application/octet-stream", "Show.TORRENT", "http://h/download?id=3", WM_APP_OPENTORRENTFILE},
        {"text/xml", "news.rss", "http://h/n", WM_APP_OPENRSSFILE},
        // ...and then to the address's path, not its query or host.
        {"", "", "http://h/files/list.opml?x=1#top", WM_APP_OPENOPMLFILE},
        {"application/octet-stream", "download", "http://h/a/show.torrent", WM_APP_OPENTORRENTFILE},
        {"application/octet-stream", "", "http://h/get?name=show.torrent", 0},
        {"application/octet-stream", "", "http://feeds.rss", 0},
        {"application/octet-stream", "", "http://feeds.rss/", 0},
        // Anything else stays with the desktop.
        {"application/zip", "archive.zip", "http://h/archive.zip", 0},
        {"application/x-bittorrent-like", "a.torrents", "http://h/a.torrent.zip", 0},
        {"", "", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(panedownload::MessageFor(c.type, c.name, c.address), c.message)
            << c.type << " | " << c.name << " | " << c.address;
}

TEST(PaneDownloadRulesTest, EachDownloadGetsANewFileOfItsOwnInTheFolder)
{
    testsupport::TempDir folder;
    // A file already there under a name of the pattern is never taken over.
    const std::string taken = folder.write("page-AAAAAA.torrent", "someone else's");

    std::set<std::string> made;
    for (int i = 0; i < 20; ++i)
    {
        std::string path;
        ASSERT_TRUE(panedownload::MakeDownloadFile(folder.path(), WM_APP_OPENTORRENTFILE, path));
        EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(folder.path()));
        EXPECT_EQ(std::filesystem::path(path).extension(), ".torrent");
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        made.insert(path);
    }
    EXPECT_EQ(made.size(), 20u);
    EXPECT_EQ(made.count(taken), 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(taken), "someone else's");

    std::string path;
    ASSERT_TRUE(panedownload::MakeDownloadFile(folder.path() + "/", WM_APP_OPENRSSFILE, path));
    EXPECT_EQ(std::filesystem::path(path).extension(), ".rss");
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(folder.path()));

    // No file for a download the program does not open, nor without a folder.
    path = "stale";
    EXPECT_FALSE(panedownload::MakeDownloadFile(folder.path(), 0, path));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(panedownload::MakeDownloadFile(folder.file("missing"), WM_APP_OPENOPMLFILE, path));
    EXPECT_FALSE(panedownload::MakeDownloadFile("", WM_APP_OPENOPMLFILE, path));
}

TEST(PaneDownloadRulesTest, OnlyAPlainKnownLengthIsTheSizeACompleteDownloadMustHave)
{
    EXPECT_EQ(panedownload::ExpectedSize(4000, ""), 4000u);
    EXPECT_EQ(panedownload::ExpectedSize(4000, " Identity "), 4000u);
    // The length of coded bytes says nothing of the decoded file.
    EXPECT_EQ(panedownload::ExpectedSize(4000, "gzip"), 0u);
    EXPECT_EQ(panedownload::ExpectedSize(4000, "br"), 0u);
    // Unknown, as the engine reports it.
    EXPECT_EQ(panedownload::ExpectedSize(0, ""), 0u);
    EXPECT_EQ(panedownload::ExpectedSize(static_cast<std::uint64_t>(-1), ""), 0u);
}

namespace
{
// The view decides a navigation to `address`; when `users`, that of the
// link the user has just pressed in the page itself.
void Decide(CUserActs& acts, const std::string& address, bool users, bool redirect)
{
    htmlctrl::Navigation navigation;
    navigation.url = uString(address.c_str());
    navigation.redirect = redirect;
    if (users)
    {
        acts.OnViewPressed();
        acts.OnPressReported({true, true, CUserActs::PressReport::Target::kLink, address});
        navigation.kind = htmlctrl::NavigationKind::kLinkClicked;
        navigation.userGesture = true;
        navigation.mouseButton = 1;
    }
    acts.OnNavigation(navigation, false);
}

// The page's own load starts and asks for `address`.
void Load(CUserActs& acts, const std::string& address)
{
    acts.OnPageLoadStarted();
    acts.OnPageRequested(address);
}
} // namespace

TEST(PaneDownloadRulesTest, OnlyTheUsersNavigationsAndTheirRedirectsAreTheUsers)
{
    CUserActs starts;
    // A frame's load and a meta refresh: nobody asked.
    Decide(starts, "http://h/frame.torrent", false, false);
    Decide(starts, "http://h/refresh.zip", false, false);
    EXPECT_FALSE(starts.IsUserStarted("http://h/frame.torrent"));
    EXPECT_FALSE(starts.IsUserStarted("http://h/refresh.zip"));
    // A redirect of a navigation nobody asked for stays nobody's.
    Decide(starts, "http://h/after-redirect.torrent", false, true);
    EXPECT_FALSE(starts.IsUserStarted("http://h/after-redirect.torrent"));

    // A click, and the redirects of the page's load it started.
    Decide(starts, "http://h/go#top", true, false);
    Load(starts, "http://h/go#top");
    Decide(starts, "http://h/list.opml", false, true);
    starts.OnPageRedirected("http://h/list.opml");
    EXPECT_TRUE(starts.IsUserStarted("http://h/go"));
    EXPECT_TRUE(starts.IsUserStarted("http://h/list.opml#part"));
    // The page then loading the same address by itself takes it away.
    Decide(starts, "http://h/go", false, false);
    EXPECT_FALSE(starts.IsUserStarted("http://h/go"));
    EXPECT_TRUE(starts.IsUserStarted("http://h/list.opml"));

    // A download let through uses the whole navigation up.
    EXPECT_EQ(starts.UseUp("http://h/list.opml"), std::vector<std::string>{"http://h/list.opml"});
    EXPECT_FALSE(starts.IsUserStarted("http://h/list.opml"));
    EXPECT_TRUE(starts.UseUp("http://h/list.opml").empty());
}

TEST(PaneDownloadRulesTest, ARedirectIsTheUsersOnlyThroughThePagesOwnLoadTheUserStarted)
{
    CUserActs starts;
    // The page's script navigates, the user clicks in a frame (no load of
    // the page's), then the script's navigation is redirected.
    Decide(starts, "http://h/slow", false, false);
    Load(starts, "http://h/slow");
    Decide(starts, "http://h/plain", true, false);
    Decide(starts, "http://h/x.torrent", false, true);
    starts.OnPageRedirected("http://h/x.torrent");
    EXPECT_FALSE(starts.IsUserStarted("http://h/x.torrent"));
    EXPECT_TRUE(starts.UsersPageLoad().empty());

    // A navigation starts one load at most: a load after it (a page the
    // program writes) is not the user's.
    Decide(starts, "http://h/go", true, false);
    Load(starts, "http://h/go");
    EXPECT_EQ(starts.UsersPageLoad(), "http://h/go");
    Load(starts, "http://h/go");
    EXPECT_FALSE(starts.IsUserStarted("http://h/go"));
    // A load of another address than the navigation decided is not its.
    Decide(starts, "http://h/go", true, false);
    Load(starts, "http://h/elsewhere");
    EXPECT_FALSE(starts.IsUserStarted("http://h/elsewhere"));
    EXPECT_TRUE(starts.UsersPageLoad().empty());

    // The engine spells the answer of the user's load otherwise than the
    // link: escaped letters decoded, a user name the redirect named.
    Decide(starts, "http://h/%78%32", true, false);
    Load(starts, "http://h/%78%32");
    EXPECT_TRUE(starts.IsUserStarted("http://h/x2"));
    Decide(starts, "http://h/to-user", true, false);
    Load(starts, "http://h/to-user");
    starts.OnPageRedirected("http://h/x2");
    EXPECT_TRUE(starts.IsUserStarted("http://u:p@h/x2"));
    EXPECT_EQ(starts.UseOfAnswer("http://u:p@h/x2", true, true, true, false),
              CUserActs::AnswerUse::kDownload);

    // The user's load ends: its leave goes with it.
    Decide(starts, "http://h/go", true, false);
    Load(starts, "http://h/go");
    starts.OnPageCommitted("http://h/go");
    EXPECT_FALSE(starts.IsUserStarted("http://h/go"));
    EXPECT_TRUE(starts.UsersPageLoad().empty());
}

TEST(PaneDownloadRulesTest, ALoginIsTheUsersOnlyWhileNoOtherRequestCouldBeAskingIt)
{
    CUserActs starts;
    Decide(starts, "http://h:8080/go", true, false);
    Load(starts, "http://h:8080/go");
    starts.OnPageRedirected("http://h:8080/held#top");
    struct Case
    {
        const char* what;
        const char* host;
        int port;
        bool proxy;
        const char* mainRequest;
        std::vector<std::string> others;
        bool users;
    };
    const Case cases[] = {
        {"the load's own request, alone", "H", 8080, false, "http://h:8080/held", {}, true},
        {"beside requests to other servers",
         "h",
         8080,
         false,
         "http://h:8080/held",
         {"http://h:8081/img", "http://other:8080/frame"},
         true},
        {"beside a frame's request to that server",
         "h",
         8080,
         false,
         "http://h:8080/held",
         {"http://h:8080/auth"},
         false},
        {"beside one to the same address",
         "h",
         8080,
         false,
         "http://h:8080/held",
         {"http://h:8080/held"},
         false},
        {"another server", "h", 8081, false, "http://h:8080/held", {}, false},
        {"the page's request done", "h", 8080, false, "", {"http://h:8080/auth"}, false},
        {"the page's request elsewhere", "h", 8080, false, "http://h:8080/go", {}, false},
        {"a proxy, beside other requests", "proxy", 3128, true, "", {"http://h:8080/auth"}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(starts.IsUsersLogin(c.host, c.port, c.proxy, c.mainRequest, c.others), c.users) << c.what;

    // Not the user's load: nobody's login.
    starts.OnPageCommitted("http://h:8080/held");
    EXPECT_FALSE(starts.IsUsersLogin("h", 8080, false, "http://h:8080/held", {}));
    EXPECT_FALSE(starts.IsUsersLogin("proxy", 3128, true, "http://h:8080/held", {}));
    Decide(starts, "http://h:8080/script", false, false);
    Load(starts, "http://h:8080/script");
    EXPECT_FALSE(starts.IsUsersLogin("h", 8080, false, "http://h:8080/script", {}));
}

TEST(PaneDownloadRulesTest, AnAcceptedAnswerTakesOnlyTheDownloadOfItsOwnLoad)
{
    CUserActs starts;
    auto accept = [&starts](const std::string& address)
    {
        Decide(starts, address, true, false);
        Load(starts, address);
        starts.Accept(address);
    };
    // The load ends as it becomes a download, which then starts; once.
    accept("http://h/y");
    starts.OnPageLoadFailed(true);
    EXPECT_TRUE(starts.TakeAccepted("http://h/y#part"));
    EXPECT_FALSE(starts.TakeAccepted("http://h/y"));

    // No download started: the load failed, a navigation was decided, another
    // download started first. None leaves the address accepted.
    accept("http://h/y");
    starts.OnPageLoadFailed(false);
    EXPECT_FALSE(starts.TakeAccepted("http://h/y"));
    accept("http://h/y");
    Decide(starts, "http://h/y", false, false);
    EXPECT_FALSE(starts.TakeAccepted("http://h/y"));
    accept("http://h/y");
    EXPECT_FALSE(starts.TakeAccepted("http://h/other"));
    EXPECT_FALSE(starts.TakeAccepted("http://h/y"));
}

TEST(PaneDownloadRulesTest, ADownloadWithoutAnAnswerIsTheUsersOnlyFromTheWebPageItself)
{
    CUserActs starts;
    const std::string page = "http://h/page";
    starts.OnPageCommitted(page + "#top");
    Decide(starts, "http://h/x.torrent", true, false);
    EXPECT_TRUE(starts.IsUnansweredUsers("http://h/x.torrent"));
    // From a page the program wrote.
    starts.OnPageCommitted("kestrova://template/?page=1");
    EXPECT_FALSE(starts.IsUnansweredUsers("http://h/x.torrent"));
    starts.OnPageCommitted(page);
    // Another address, or a navigation decided after the user's.
    EXPECT_FALSE(starts.IsUnansweredUsers("http://h/y.torrent"));
    Decide(starts, "http://h/x.torrent", false, false);
    EXPECT_FALSE(starts.IsUnansweredUsers("http://h/x.torrent"));
    // Used once.
    Decide(starts, "http://h/x.torrent", true, false);
    EXPECT_EQ(starts.UseUp("http://h/x.torrent"), std::vector<std::string>{"http://h/x.torrent"});
    EXPECT_FALSE(starts.IsUnansweredUsers("http://h/x.torrent"));
}

TEST(PaneDownloadRulesTest, APressIsTheUsersOnlyWhenSeenOnTheViewAndReportedFromThePageItself)
{
    using Target = CUserActs::PressReport::Target;
    const std::string link = "http://h/x.torrent";
    const CUserActs::PressReport onLink{true, true, Target::kLink, link + "#part"};
    auto navigation = [](const std::string& address, htmlctrl::NavigationKind kind, unsigned button = 1)
    {
        htmlctrl::Navigation made;
        made.url = uString(address.c_str());
        made.kind = kind;
        made.userGesture = true;
        made.mouseButton = button;
        return made;
    };
    const htmlctrl::Navigation click = navigation(link, htmlctrl::NavigationKind::kLinkClicked);
    const htmlctrl::Navigation step = navigation(link + "#part", htmlctrl::NavigationKind::kLinkClicked);
    struct Case
    {
        const char* what;
        std::function<void(CUserActs&)> before;
        htmlctrl::Navigation navigation;
        // The user's in the page itself; the user's own, which may leave a
        // page the program wrote.
        bool users;
        bool leaves;
    };
    const Case cases[] = {
        {"the user's click on a link of the page",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported(onLink);
         },
         click, true, true},
        {"a form's button, its fields in the query",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported({true, true, Target::kForm, "http://h/get?old=1"});
         },
         navigation("http://h/get?q=talk", htmlctrl::NavigationKind::kFormSubmitted), true, true},
        {"a press in another document's frame",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported({false, true, Target::kLink, link});
         },
         click, false, true},
        {"a key's click on the link in focus: it hands nothing over",
         [&](CUserActs& acts)
         {
             acts.OnViewKeyPressed();
             acts.OnPressReported({true, false, Target::kLink, link});
         },
         navigation(link, htmlctrl::NavigationKind::kLinkClicked, 0), false, true},
        {"a key's click on another link than the one that goes",
         [&](CUserActs& acts)
         {
             acts.OnViewKeyPressed();
             acts.OnPressReported({true, false, Target::kLink, "http://h/other"});
         },
         navigation(link, htmlctrl::NavigationKind::kLinkClicked, 0), false, false},
        {"a key's click in another document's frame",
         [&](CUserActs& acts)
         {
             acts.OnViewKeyPressed();
             acts.OnPressReported({false, false, Target::kLink, link});
         },
         navigation(link, htmlctrl::NavigationKind::kLinkClicked, 0), false, false},
        {"a click of no press or key of the user's",
         [&](CUserActs& acts) {
             acts.OnPressReported({true, false, Target::kLink, link});
         },
         navigation(link, htmlctrl::NavigationKind::kLinkClicked, 0), false, false},
        {"a press, then a key",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnViewKeyPressed();
             acts.OnPressReported(onLink);
         },
         click, false, false},
        {"a trusted click with no press before it", [&](CUserActs& acts) { acts.OnPressReported(onLink); },
         click, false, false},
        {"a second click of one press (a label's)",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported({true, true, Target::kNone, ""}), acts.OnPressReported(onLink);
         },
         click, false, false},
        {"another link than the one pressed",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported({true, true, Target::kLink, "http://h/other"});
         },
         click, false, false},
        {"a script's click inside the user's",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported(onLink);
         },
         navigation(link, htmlctrl::NavigationKind::kLinkClicked, 0), false, false},
        {"a form sent where a link was pressed",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported(onLink);
         },
         navigation(link, htmlctrl::NavigationKind::kFormSubmitted), false, false},
        {"a navigation of the page's decided first",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported(onLink);
             acts.OnNavigation(navigation("http://h/frame", htmlctrl::NavigationKind::kOther, 0), false);
         },
         click, false, false},
        {"a link the script cannot see, named by the engine's hit test at the press",
         [&](CUserActs& acts)
         {
             acts.OnPointerOverLink(link);
             acts.OnViewPressed();
             acts.OnPointerOverLink("");
             acts.OnPressReported({true, true, Target::kNone, ""});
         },
         click, true, true},
        {"the hit test's link under a press in another document's frame",
         [&](CUserActs& acts)
         {
             acts.OnPointerOverLink(link);
             acts.OnViewPressed();
             acts.OnPressReported({false, true, Target::kNone, ""});
         },
         click, false, true},
        {"a link the script cannot see, pressed before the engine has looked under the pointer",
         [&](CUserActs& acts)
         {
             acts.OnPointerOverLink("");
             acts.OnViewPressed();
             acts.OnPointerOverLink(link);
             acts.OnPressReported({true, true, Target::kNone, ""});
         },
         click, true, true},
        {"the link as the engine spells it",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported({true, true, Target::kLink, "HTTP://h:80/%78.torrent"});
         },
         click, true, true},
        // A step inside the page is asked about before its click's report
        // may have come, and must be answered then.
        {"a step asked before its report, to the link under the press; the report then counts not",
         [&](CUserActs& acts)
         {
             acts.OnPointerOverLink(link + "#part");
             acts.OnViewPressed();
             acts.TakePressBeforeReport(step);
             EXPECT_TRUE(acts.OnNavigation(step, false));
             acts.OnPressReported(onLink);
         },
         step, false, false},
        {"a step asked before any report, of the middle button; or to another page",
         [&](CUserActs& acts)
         {
             acts.OnPointerOverLink(link + "#part");
             acts.OnViewPressed();
             acts.TakePressBeforeReport(
                 navigation(link + "#part", htmlctrl::NavigationKind::kLinkClicked, 2));
             acts.OnPointerOverLink(link);
             acts.TakePressBeforeReport(click);
         },
         click, false, false},
        {"a press used once",
         [&](CUserActs& acts)
         {
             acts.OnViewPressed();
             acts.OnPressReported(onLink);
             acts.OnNavigation(click, false);
         },
         click, false, false},
    };
    for (const Case& c : cases)
    {
        CUserActs acts;
        acts.OnPageCommitted("http://h/page");
        c.before(acts);
        EXPECT_EQ(acts.OnNavigation(c.navigation, false), c.leaves) << c.what;
        EXPECT_EQ(acts.IsUnansweredUsers(c.navigation.url.c_str()), c.users) << c.what;
    }
}

TEST(PaneDownloadRulesTest, TheScriptsReportIsReadWholeOrNotAtAll)
{
    using Target = CUserActs::PressReport::Target;
    CUserActs::PressReport report;
    ASSERT_TRUE(CUserActs::ReadReport("1\n1\nlink\nhttp://h/x?a=1#b", report));
    EXPECT_TRUE(report.inPageItself && report.byMouse && report.target == Target::kLink);
    EXPECT_EQ(report.address, "http://h/x?a=1#b");
    ASSERT_TRUE(CUserActs::ReadReport("0\n0\nform\nhttp://h/get", report));
    EXPECT_TRUE(!report.inPageItself && !report.byMouse && report.target == Target::kForm);
    ASSERT_TRUE(CUserActs::ReadReport("1\n2\nnone\n", report));
    EXPECT_TRUE(report.byMouse && report.target == Target::kNone && report.address.empty());
    for (const char* refused : {"", "1", "1\n1", "yes\n1\nlink\nx", "1\n-1\nlink\nx", "1\n1\nimage\nx"})
        EXPECT_FALSE(CUserActs::ReadReport(refused, report)) << refused;
}

TEST(PaneDownloadRulesTest, AWindowMayOpenOnlyWhileThePageItselfLoads)
{
    CUserActs acts;
    EXPECT_FALSE(acts.MayOpenWindow());
    acts.OnPageLoadStarted();
    acts.OnPageRequested("http://h/page");
    // Until the new page comes, the old one's scripts run on.
    EXPECT_FALSE(acts.MayOpenWindow());
    acts.OnPageCommitted("http://h/page");
    EXPECT_TRUE(acts.MayOpenWindow());
    acts.OnPageLoadFinished();
    EXPECT_FALSE(acts.MayOpenWindow());

    // The page's own document has come; its images, frames or streams never
    // end: nothing opens any more in that load.
    acts.OnPageLoadStarted();
    acts.OnPageRequested("http://h/page");
    acts.OnPageCommitted("http://h/page");
    acts.OnPageRequestEnded();
    EXPECT_FALSE(acts.MayOpenWindow());
    EXPECT_FALSE(acts.TakeWindow());
    // Come whole before it showed.
    acts.OnPageLoadStarted();
    acts.OnPageRequested("http://h/page");
    acts.OnPageRequestEnded();
    acts.OnPageCommitted("http://h/page");
    EXPECT_FALSE(acts.TakeWindow());
    // A load whose request the engine never named (a page the program wrote).
    acts.OnPageLoadStarted();
    acts.OnPageCommitted("kestrova://template/?page=1");
    EXPECT_FALSE(acts.TakeWindow());
    // A document that keeps coming opens one window in its load, not one a
    // call; the next load one again.
    for (int load = 0; load < 2; ++load)
    {
        acts.OnPageLoadStarted();
        acts.OnPageRequested("http://h/stream");
        acts.OnPageCommitted("http://h/stream");
        EXPECT_TRUE(acts.TakeWindow());
        EXPECT_FALSE(acts.MayOpenWindow());
        EXPECT_FALSE(acts.TakeWindow());
    }
    // A frame's navigation or a step inside the page starts no load of the
    // page's own.
    Decide(acts, "http://h/page#part", false, false);
    Decide(acts, "http://h/frame", true, false);
    EXPECT_FALSE(acts.MayOpenWindow());
    acts.OnPageLoadStarted();
    acts.OnPageLoadFailed(false);
    EXPECT_FALSE(acts.MayOpenWindow());
    // A print the page asks for is never the user's.
    EXPECT_FALSE(CUserActs::IsUsersPrint(/*askedByPage=*/true));
    EXPECT_TRUE(CUserActs::IsUsersPrint(/*askedByPage=*/false));
}

TEST(PaneDownloadRulesTest, FeedAndOutlineTypesAreKnownByTheirTypeAlone)
{
    EXPECT_EQ(panedownload::MessageForType("application/rss+xml"), WM_APP_OPENRSSFILE);
    EXPECT_EQ(panedownload::MessageForType("Application/Atom+XML; charset=utf-8"), WM_APP_OPENRSSFILE);
    EXPECT_EQ(panedownload::MessageForType("application/rdf+xml"), WM_APP_OPENRSSFILE);
    EXPECT_EQ(panedownload::MessageForType("text/x-opml"), WM_APP_OPENOPMLFILE);
    EXPECT_EQ(panedownload::MessageForType("text/xml"), 0u);
    EXPECT_EQ(panedownload::MessageForType("application/xml"), 0u);
    EXPECT_EQ(panedownload::MessageFor("application/atom+xml", "", "http://h/feed"), WM_APP_OPENRSSFILE);
}

TEST(PaneDownloadRulesTest, ASavedDownloadIsOfferedUnderTheServersNameWithoutFolders)
{
    EXPECT_EQ(panedownload::SaveName("pack.zip"), "pack.zip");
    EXPECT_EQ(panedownload::SaveName("../../.config/autostart/x.desktop"), "x.desktop");
    EXPECT_EQ(panedownload::SaveName("..\\windows\\pack.zip"), "pack.zip");
    EXPECT_EQ(panedownload::SaveName("a\nb.zip"), "ab.zip");
    EXPECT_EQ(panedownload::SaveName(".."), "download");
    EXPECT_EQ(panedownload::SaveName(""), "download");
    // Nothing that turns or hides the text's direction, nor C1 controls:
    // U+202E would show "invoice\u202Efdp.exe" as "invoiceexe.pdf".
    // Nor any other format character: zero-width ones, the byte-order mark,
    // the soft hyphen, tags.
    for (const char* mark : {"\u200E", "\u200F", "\u202A", "\u202B",     "\u202C",     "\u202D",    "\u202E",
                             "\u2066", "\u2067", "\u2068", "\u2069",     "\u061C",     "\u0085",    "\u009B",
                             "\u200B", "\u200C", "\u200D", "\uFEFF",     "\u2060",     "\u2064",    "\u206A",
                             "\u206F", "\u00AD", "\u180E", "\U000E0041", "\U000E007F", "\U0001D173"})
        EXPECT_EQ(panedownload::SaveName(std::string("invoice") + mark + "fdp.exe"), "invoicefdp.exe")
            << mark;
    EXPECT_EQ(panedownload::SaveName("\u202E\u2066"), "download");
    // Other characters stay, also next to the marks, and broken sequences
    // are left to the dialog.
    EXPECT_EQ(panedownload::SaveName("\u202Eк\u200Dнига \u2067.pdf"), "книга .pdf");
    EXPECT_EQ(panedownload::SaveName("a\xE2\x80.zip"), "a\xE2\x80.zip");
    EXPECT_EQ(panedownload::SaveName("\u200B\uFEFF.\u2060 x.zip"), "x.zip");
    // A name longer than a file system takes is cut at a character, its
    // ending kept.
    struct Long
    {
        std::string name;
        std::string offered;
    };
    const std::string cyrillic = "\u043a";  // two bytes
    const std::string emoji = "\U0001F600"; // four bytes
    auto times = [](const std::string& text, int count)
    {
        std::string repeated;
        for (int i = 0; i < count; ++i)
            repeated += text;
        return repeated;
    };
    const Long longNames[] = {
        {std::string(300, 'a') + ".pdf", std::string(251, 'a') + ".pdf"},
        {std::string(251, 'a') + ".pdf", std::string(251, 'a') + ".pdf"},
        {times(cyrillic, 200) + ".pdf", times(cyrillic, 125) + ".pdf"},
        {"x" + times(emoji, 100) + ".tar.gz", "x" + times(emoji, 62) + ".gz"},
        {times(emoji, 100), times(emoji, 63)},
        // An ending as long as a name is no ending.
        {"a." + std::string(300, 'b'), "a." + std::string(253, 'b')},
        {" ." + std::string(300, 'c') + ".zip", std::string(251, 'c') + ".zip"},
        {std::string(300, 'd') + "\u200B.zip", std::string(251, 'd') + ".zip"},
    };
    for (const Long& row : longNames)
    {
        const std::string offered = panedownload::SaveName(row.name);
        EXPECT_EQ(offered, row.offered) << row.name.size() << " bytes";
        EXPECT_LE(offered.size(), 255u);
    }
    EXPECT_TRUE(panedownload::IsAttachment("Attachment; filename=x.torrent"));
    EXPECT_FALSE(panedownload::IsAttachment("inline; filename=x.torrent"));
}

// A download kept beside a file of the same name takes the name a file
// manager gives a kept copy, the first one free, within the bytes a name
// may have; the files there stay as they were.
TEST(PaneDownloadRulesTest, ADownloadKeptBesideAFileTakesTheFirstFreeNumberedName)
{
    struct Row
    {
        std::string name;
        unsigned number;
        std::string numbered;
    };
    std::string cyrillic;
    for (int i = 0; i < 125; ++i)
        cyrillic += "\u043a"; // two bytes each
    const Row rows[] = {
        {"pack.zip", 1, "pack (1).zip"},
        {"logs.tar.gz", 2, "logs (2).tar.gz"},
        {"Logs.TAR.xz", 1, "Logs (1).TAR.xz"},
        {"a.b.c", 1, "a.b (1).c"},
        {".profile", 1, ".profile (1)"},
        {"README", 12, "README (12)"},
        {std::string(251, 'a') + ".pdf", 1, std::string(247, 'a') + " (1).pdf"},
        {cyrillic + ".pdf", 1, cyrillic.substr(0, 246) + " (1).pdf"},
        {"a." + std::string(250, 'b'), 1, "a." + std::string(249, 'b') + " (1)"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(panedownload::NumberedName(row.name, row.number), row.numbered) << row.name;

    testsupport::TempDir folder;
    for (const char* name : {"pack.zip", "pack (1).zip"})
        std::ofstream(folder.file(name)) << "the user's " << name;
    std::string saving;
    ASSERT_TRUE(panedownload::MakeSaveFile(folder.file("pack.zip"), saving));
    std::ofstream(saving) << "the download";
    std::string savedAs;
    ASSERT_TRUE(panedownload::MoveSaveFileBeside(saving, folder.file("pack.zip"), savedAs));
    EXPECT_EQ(savedAs, folder.file("pack (2).zip"));
    EXPECT_EQ(testsupport::ReadFileBytes(savedAs), "the download");
    EXPECT_FALSE(std::filesystem::exists(saving));
    for (const char* name : {"pack.zip", "pack (1).zip"})
        EXPECT_EQ(testsupport::ReadFileBytes(folder.file(name)), std::string("the user's ") + name);
    EXPECT_FALSE(panedownload::MoveSaveFileBeside(saving, folder.file("pack.zip"), savedAs)) << "gone";
    EXPECT_TRUE(savedAs.empty());

    // Never over a file that took the name after the user agreed to replace another.
    const panedownload::FileId agreed = panedownload::FileUnder(folder.file("pack.zip"));
    std::filesystem::rename(folder.file("pack (1).zip"), folder.file("pack.zip"));
    std::ofstream(saving) << "the download";
    EXPECT_FALSE(panedownload::MoveSaveFile(saving, folder.file("pack.zip"), agreed));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.file("pack.zip")), "the user's pack (1).zip");
    // Also one made under the inode number the agreed one left.
    const panedownload::FileId agreedAgain = panedownload::FileUnder(folder.file("pack.zip"));
    testsupport::MakeAnewUnderItsInode(folder.file("pack.zip"), "made anew");
    EXPECT_FALSE(panedownload::MoveSaveFile(saving, folder.file("pack.zip"), agreedAgain));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.file("pack.zip")), "made anew");
    // Nor over a folder, even the one under the name at the choice.
    std::filesystem::create_directory(folder.file("kept"));
    std::ofstream(folder.file("kept/inside")) << "the user's";
    EXPECT_FALSE(panedownload::MoveSaveFile(saving, folder.file("kept"),
                                            panedownload::FileUnder(folder.file("kept"))));
    EXPECT_EQ(testsupport::ReadFileBytes(folder.file("kept/inside")), "the user's");
    EXPECT_EQ(testsupport::ReadFileBytes(saving), "the download");
}

namespace
{
void InTheTestProgram() {}

std::string PreloadedLibrary()
{
    return std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova-disposition.so";
}
} // namespace

// The name a server gives, as the engine reads it in the program's process:
// through the program's own Content-Disposition routine, which every caller
// of the network library's gets, with any folder part dropped in memory the
// table owns; and the same through the library of that routine that the
// engine's processes preload.
TEST(PaneDownloadRulesTest, AServersNameIsReadInEachSpellingAndLosesItsFolders)
{
    // The network library the engine uses, loaded as the engine loads it.
    ASSERT_NE(::dlopen("libsoup-2.4.so.1", RTLD_NOW | RTLD_GLOBAL), nullptr) << ::dlerror();
    using NewHeaders = void* (*)(int kind);
    using Append = void (*)(void* headers, const char* name, const char* value);
    using FreeHeaders = void (*)(void* headers);
    using Disposition = gboolean (*)(void* headers, char** disposition, GHashTable** params);
    const auto newHeaders = reinterpret_cast<NewHeaders>(::dlsym(RTLD_DEFAULT, "soup_message_headers_new"));
    const auto append = reinterpret_cast<Append>(::dlsym(RTLD_DEFAULT, "soup_message_headers_append"));
    const auto freeHeaders =
        reinterpret_cast<FreeHeaders>(::dlsym(RTLD_DEFAULT, "soup_message_headers_free"));
    const auto disposition =
        reinterpret_cast<Disposition>(::dlsym(RTLD_DEFAULT, "soup_message_headers_get_content_disposition"));
    ASSERT_TRUE(newHeaders && append && freeHeaders && disposition);
    // The one the dynamic linker binds callers to is the program's own.
    Dl_info found{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(disposition), &found), 0);
    Dl_info program{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&InTheTestProgram), &program), 0);
    EXPECT_EQ(found.dli_fbase, program.dli_fbase) << found.dli_fname;
    void* library = ::dlopen(PreloadedLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    const auto preloaded =
        reinterpret_cast<Disposition>(::dlsym(library, "soup_message_headers_get_content_disposition"));
    ASSERT_NE(preloaded, nullptr);

    struct Row
    {
        const char* value;
        const char* type; // null: none
        const char* name; // null: no "filename" parameter
    };
    const Row rows[] = {
        {"attachment; filename=\"a/b.torrent\"", "attachment", "b.torrent"},
        {"attachment; filename=../../x.torrent", "attachment", "x.torrent"},
        {"attachment; filename*=UTF-8''a%2Fb.torrent", "attachment", "b.torrent"},
        {"attachment; FileName=\"/\"", "attachment", ""},
        {"attachment; filename*=utf-8'en'%D0%BA.zip; filename=\"plain.zip\"", "attachment", "\u043a.zip"},
        {"attachment; filename=\"a\\\\b \\\"q\\\".zip\"", "attachment", "a\\b \"q\".zip"},
        {"attachment;filename = pack.zip ;size=3", "attachment", "pack.zip"},
        {"attachment; size=3", "attachment", nullptr},
        {"attachment", "attachment", nullptr},
        // Only parameters, as some servers send it.
        {"filename=\"c/d.zip\"", nullptr, "d.zip"},
    };
    // Three rounds in the program, three through the preloaded library.
    for (const Row& row : rows)
        for (int round = 0; round < 6; ++round)
        {
            SCOPED_TRACE(row.value);
            SCOPED_TRACE(round < 3 ? "in the program" : "preloaded");
            const Disposition routine = round < 3 ? disposition : preloaded;
            void* headers = newHeaders(/*response=*/1);
            append(headers, "Content-Disposition", row.value);
            char* type = nullptr;
            GHashTable* params = nullptr;
            ASSERT_TRUE(routine(headers, &type, &params));
            EXPECT_STREQ(type, row.type);
            ASSERT_NE(params, nullptr);
            const auto* name = static_cast<const char*>(g_hash_table_lookup(params, "filename"));
            EXPECT_STREQ(name, row.name);
            EXPECT_EQ(g_hash_table_lookup(params, "FILENAME"), name) << "looked up in any case";
            g_free(type);
            g_hash_table_destroy(params);
            freeHeaders(headers);
        }

    // A bare "filename" with no value, the header asked for its type alone,
    // and no header at all.
    void* headers = newHeaders(1);
    EXPECT_FALSE(disposition(headers, nullptr, nullptr));
    append(headers, "Content-Disposition", "attachment; filename");
    GHashTable* params = nullptr;
    ASSERT_TRUE(disposition(headers, nullptr, &params));
    EXPECT_TRUE(g_hash_table_contains(params, "filename"));
    EXPECT_EQ(g_hash_table_lookup(params, "filename"), nullptr);
    g_hash_table_destroy(params);
    char* type = nullptr;
    EXPECT_TRUE(disposition(headers, &type, nullptr));
    EXPECT_STREQ(type, "attachment");
    g_free(type);
    freeHeaders(headers);
}

// Preloaded into a program that uses neither the network library nor glib,
// the routine's library brings no other library with it.
TEST(PaneDownloadRulesTest, ThePreloadedRoutinePullsNoLibraryIntoAProgram)
{
    int pid = 0;
    const int pipe = RunProcessWithPipe(
        ("env LD_PRELOAD=" + PreloadedLibrary() + " cat /proc/self/maps").c_str(), "r", &pid);
    ASSERT_GE(pipe, 0);
    std::string maps;
    char line[4096];
    while (ReadPipeLine(line, sizeof line, pipe) != nullptr)
        maps += line;
    ::close(pipe);
    EXPECT_NE(maps.find(PreloadedLibrary()), std::string::npos);
    for (const char* library : {"libglib", "libsoup", "libstdc++", "libgcc_s", "libm.so"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library;
}

TEST(PaneDownloadRulesTest, TheLeftoversOfEarlierRunsAreItsOwnFilesAndNoOthers)
{
    testsupport::TempDir folder;
    std::vector<std::string> made;
    for (std::uint32_t message : {WM_APP_OPENTORRENTFILE, WM_APP_OPENRSSFILE, WM_APP_OPENOPMLFILE})
    {
        std::string path;
        ASSERT_TRUE(panedownload::MakeDownloadFile(folder.path(), message, path));
        made.push_back(path);
    }
    const std::vector<std::string> others = {"page-Ab12C.rss",
                                             "page-Ab12Cd.html",
                                             "mypage-Ab12Cd.rss",
                                             "page-Ab12Cd.rss.bak",
                                             "page-Ab-2Cd.opml",
                                             "page-Ab12Cd.wkdownload",
                                             "page-Ab12Cd.rsswkdownload",
                                             "page-Ab12Cd.html.wkdownload"};
    for (const std::string& name : others)
        std::ofstream(folder.file(name)) << "mine";

    // The engine's parts of them.
    for (const std::string& path : std::vector<std::string>(made))
    {
        made.push_back(path + ".wkdownload");
        std::ofstream(made.back()) << "a part";
    }
    std::filesystem::create_directory(folder.file("page-Zz12Cd.torrent"));

    EXPECT_EQ(panedownload::RemoveLeftoverFiles(folder.path()), 6);
    for (const std::string& path : made)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    for (const std::string& name : others)
        EXPECT_TRUE(std::filesystem::exists(folder.file(name))) << name;
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("page-Zz12Cd.torrent")));
}

// A save goes into a hidden file of the program's beside the chosen one; a
// note in the temp folder says where, so that a start after a kill removes
// it and the engine's part of it, wherever the user saved, and nothing else.
TEST(PaneDownloadRulesTest, ASavesFileIsFoundAfterAKillByItsNoteAndOnlyItGoes)
{
    testsupport::TempDir temp;
    testsupport::TempDir chosen;
    std::ofstream(chosen.file("report.pdf")) << "the user's report";
    std::string saving;
    ASSERT_TRUE(panedownload::MakeSaveFile(chosen.file("report.pdf"), saving));
    EXPECT_EQ(std::filesystem::path(saving).parent_path(), std::filesystem::path(chosen.path()));
    EXPECT_TRUE(panedownload::IsSaveFileName(std::filesystem::path(saving).filename().string()));
    std::string again;
    ASSERT_TRUE(panedownload::MakeSaveFile(chosen.file("report.pdf"), again));
    EXPECT_NE(again, saving);
    EXPECT_FALSE(panedownload::MakeSaveFile("report.pdf", again)) << "no folder";
    EXPECT_TRUE(again.empty());
    std::ofstream(saving + ".wkdownload") << "a part";

    std::string note;
    ASSERT_TRUE(panedownload::MakeSaveNote(temp.path(), saving, chosen.file("report.pdf"), 0, note));
    EXPECT_EQ(std::filesystem::path(note).parent_path(), std::filesystem::path(temp.path()));
    // Notes that name anything but a save's file take nothing with them.
    const std::vector<std::string> looksAlike = {chosen.file("report.pdf"),
                                                 chosen.file(".kestrova-save-Ab12C"),
                                                 chosen.file(".kestrova-save-Ab12Cd.pdf")};
    std::vector<std::string> notes = {note};
    for (const std::string& named : looksAlike)
    {
        std::ofstream(named, std::ios::app) << "the user's";
        ASSERT_TRUE(
            panedownload::MakeSaveNote(temp.path(), named, chosen.file("x.pdf"), 0, notes.emplace_back()));
    }
    ASSERT_TRUE(
        panedownload::MakeSaveNote(temp.path(), ".kestrova-save-Ab12Cd", "x.pdf", 0, notes.emplace_back()));
    std::ofstream(temp.file("page-Ab12Cd.saved")) << saving;

    EXPECT_EQ(panedownload::RemoveLeftoverFiles(temp.path()), 2 + static_cast<int>(notes.size()));
    EXPECT_FALSE(std::filesystem::exists(saving));
    EXPECT_FALSE(std::filesystem::exists(saving + ".wkdownload"));
    for (const std::string& path : notes)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    for (const std::string& path : looksAlike)
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(testsupport::ReadFileBytes(chosen.file("report.pdf")), "the user's reportthe user's");
    EXPECT_TRUE(std::filesystem::exists(temp.file("page-Ab12Cd.saved")));

    // A save the engine had written whole (its part gone) when the program
    // ended before the engine's word of it came stays the user's: under the
    // name chosen, or beside a file there now. One of another size than its
    // answer's, or empty, goes; so does one noted by a version that noted
    // no name.
    struct Whole
    {
        const char* chosen;
        std::string content;
        std::uint64_t size; // 0: not known
        const char* keptAs; // null: removed
    };
    const Whole rows[] = {
        {"new.pdf", "the whole download", 0, "new.pdf"},
        {"report.pdf", "the whole download", 18, "report (1).pdf"},
        {"cut.pdf", "a cut download", 1000, nullptr},
        {"empty.pdf", "", 0, nullptr},
        {"", "a download noted alone", 0, nullptr},
    };
    std::vector<std::string> savings;
    for (const Whole& row : rows)
    {
        ASSERT_TRUE(panedownload::MakeSaveFile(chosen.file("report.pdf"), savings.emplace_back()));
        std::ofstream(savings.back()) << row.content;
        if (*row.chosen != '\0')
            ASSERT_TRUE(panedownload::MakeSaveNote(temp.path(), savings.back(), chosen.file(row.chosen),
                                                   row.size, note));
        else
            std::ofstream(temp.file("page-Ol12Dv.save")) << savings.back();
    }
    EXPECT_EQ(panedownload::RemoveLeftoverFiles(temp.path()), 3 + 5);
    for (std::size_t i = 0; i < std::size(rows); ++i)
    {
        SCOPED_TRACE(rows[i].chosen);
        EXPECT_FALSE(std::filesystem::exists(savings[i]));
        if (rows[i].keptAs != nullptr)
        {
            EXPECT_EQ(testsupport::ReadFileBytes(chosen.file(rows[i].keptAs)), rows[i].content);
        }
        else if (*rows[i].chosen != '\0')
        {
            EXPECT_FALSE(std::filesystem::exists(chosen.file(rows[i].chosen)));
        }
    }
    EXPECT_EQ(testsupport::ReadFileBytes(chosen.file("report.pdf")), "the user's reportthe user's");

    // Where the file system moves nothing, a whole one stays under its own name.
    ASSERT_TRUE(panedownload::MakeSaveFile(chosen.file("stuck.pdf"), saving));
    std::ofstream(saving) << "the whole download";
    ASSERT_TRUE(panedownload::MakeSaveNote(temp.path(), saving, chosen.file("stuck.pdf"), 0, note));
    {
        testsupport::RefusingFileSystem refusing(chosen.path(), /*refuseRenames=*/true);
        EXPECT_EQ(panedownload::RemoveLeftoverFiles(temp.path()), 1) << "the note alone";
    }
    EXPECT_EQ(testsupport::ReadFileBytes(saving), "the whole download");
}
