#include "mainwindow/HtmlCtrlPolicy.h"

#include "common/Messages.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

TEST(HtmlCtrlPolicyTest, FeedLinksOpenOnlyWebPagesAndFilesInsideTheDataFolder)
{
    const uString data("/home/amy/Documents/Kestrova");
    auto shows = [&](const char* address) { return htmlctrl::MayShowFromFeed(uString(address), data); };

    EXPECT_TRUE(shows("http://example.org/story"));
    EXPECT_TRUE(shows("HTTPS://example.org/story"));
    EXPECT_TRUE(shows("ftp://example.org/file.txt"));
    EXPECT_TRUE(shows("file:///home/amy/Documents/Kestrova/library/My%20Archive/a.html"));
    EXPECT_TRUE(shows("file://localhost/home/amy/Documents/Kestrova/cache/page.html#top"));

    for (const char* refused :
         {"javascript:document.title='X'", " javascript:alert(1)", "JavaScript:alert(1)",
          "data:text/html,<script>alert(1)</script>", "about:blank", "app:refresh", "mailto:amy@example.org",
          "vbscript:x", "http:", "", "file:///etc/passwd", "file:///home/amy/Documents/Kestrova",
          "file:///home/amy/Documents/KestrovaX/a", "file:///home/amy/Documents/Kestrova/../.ssh/id_rsa",
          "file:///home/amy/Documents/Kestrova/%2E%2E/.ssh/id_rsa",
          "file:///home/amy/Documents/Kestrova/a%00/../../../../etc/passwd",
          "file://other.host/home/amy/Documents/Kestrova/a", "file:relative/a"})
        EXPECT_FALSE(shows(refused)) << refused;

    // Without a data folder no file is shown at all.
    EXPECT_FALSE(htmlctrl::MayShowFromFeed(uString("file:///a/b.html"), uString()));
}

TEST(HtmlCtrlPolicyTest, ThePagesOwnSchemeReachesTheTemplateFolderAndThePagesFilesOnly)
{
    const uString templates("/opt/kestrova/template");
    const std::set<std::string> pageFiles = {"/home/amy/Documents/Kestrova/library/My Music/Show/ep 1.mp3"};
    auto resolve = [&](const std::string& address)
    {
        std::string path;
        return htmlctrl::ResolvePageAddress(uString(address.c_str()), templates, pageFiles, path)
                   ? path
                   : "<refused>";
    };
    EXPECT_EQ(std::string(htmlctrl::PageBaseUrl().c_str()), "kestrova://template/");
    EXPECT_EQ(resolve("kestrova://template/style.css"), "/opt/kestrova/template/style.css");
    EXPECT_EQ(resolve("kestrova://template/img/a%20b.png?x#y"), "/opt/kestrova/template/img/a b.png");
    const uString enclosure = htmlctrl::PageFileUrl(uString(pageFiles.begin()->c_str()));
    EXPECT_EQ(std::string(enclosure.c_str()),
              "kestrova://file/home/amy/Documents/Kestrova/library/My%20Music/Show/ep%201.mp3");
    EXPECT_EQ(resolve(enclosure.c_str()), *pageFiles.begin());

    for (const char* refused :
         {"kestrova://template/../../../etc/passwd", "kestrova://template/%2E%2E/x", "kestrova://template/",
          "kestrova://file/etc/passwd",
          "kestrova://file/home/amy/Documents/Kestrova/library/My%20Music/Show/ep%202.mp3",
          "kestrova://file/home/amy/Documents/Kestrova/library/My%20Music/Show/x/../ep%201.mp3%00",
          "kestrova://other/opt/kestrova/template/a", "kestrova:template/a",
          "file:///opt/kestrova/template/style.css", "KESTROVA://template/a"})
        EXPECT_EQ(resolve(refused), "<refused>") << refused;
    // ".." steps that stay inside are fine; the same file by another spelling too.
    EXPECT_EQ(resolve("kestrova://template/a/../b.css"), "/opt/kestrova/template/b.css");
    EXPECT_EQ(resolve("kestrova://file/home/amy/Documents/Kestrova/library/My%20Music/Show/x/../ep%201.mp3"),
              *pageFiles.begin());
}

TEST(HtmlCtrlPolicyTest, AWrittenPageLeavesOnlyByTheUserOrTheProgram)
{
    using htmlctrl::NavigationKind;
    using htmlctrl::NavigationVerdict;
    using htmlctrl::PageShown;
    htmlctrl::Navigation refresh;
    refresh.url = "http://127.0.0.1:9/login";
    htmlctrl::Navigation click = refresh;
    click.kind = NavigationKind::kLinkClicked;
    click.userGesture = true;
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoaded, refresh, false), NavigationVerdict::kRefuse);
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoaded, refresh, true), NavigationVerdict::kLeave);
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoaded, click, true), NavigationVerdict::kLeave);
    // A gesture the user's acts do not know as the user's own (a key's).
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoaded, click, false), NavigationVerdict::kRefuse);
    // A frame of the page loads while the page does; the page is not left.
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoading, refresh, false), NavigationVerdict::kFrame);
    // A frame's step through the history is the whole page's.
    htmlctrl::Navigation back = refresh;
    back.kind = NavigationKind::kBackForward;
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoading, back, false), NavigationVerdict::kRefuse);
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoading, back, true), NavigationVerdict::kLeave);
    // A link "clicked" by no user is no click.
    click.userGesture = false;
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kWrittenLoaded, click, false), NavigationVerdict::kRefuse);
    EXPECT_EQ(htmlctrl::MayNavigate(PageShown::kBrowsed, refresh, false), NavigationVerdict::kLeave);
}

TEST(HtmlCtrlPolicyTest, ACommandsLeaveIsForItsOwnNavigationOnly)
{
    using htmlctrl::Navigation;
    using htmlctrl::NavigationKind;
    auto navigation = [](const char* url, NavigationKind kind, bool redirect = false)
    {
        Navigation made;
        made.url = uString(url);
        made.kind = kind;
        made.redirect = redirect;
        return made;
    };
    htmlctrl::CCommandedNavigation command;
    EXPECT_FALSE(command.IsCommanded(navigation("about:blank", NavigationKind::kOther)));

    // An address given: the browser reports it back in its own spelling.
    command.ExpectAddress(uString("HTTP://127.0.0.1:8080?q=a b"));
    EXPECT_TRUE(command.IsCommanded(navigation("http://127.0.0.1:8080/?q=a%20b", NavigationKind::kOther)));
    // A frame's load, a frame's reload and a redirect decided first are not it.
    EXPECT_FALSE(command.IsCommanded(navigation("http://127.0.0.1:8080/frame", NavigationKind::kOther)));
    EXPECT_FALSE(command.IsCommanded(navigation("http://127.0.0.1:8080/", NavigationKind::kReload)));
    EXPECT_FALSE(
        command.IsCommanded(navigation("http://127.0.0.1:8080/?q=a%20b", NavigationKind::kOther, true)));

    // Nor a page's own step back to that address.
    EXPECT_FALSE(
        command.IsCommanded(navigation("http://127.0.0.1:8080/?q=a%20b", NavigationKind::kBackForward)));

    // Back, Forward and Reload are known by their kind and their entry.
    command.ExpectEntry(NavigationKind::kBackForward, uString("http://127.0.0.1:8080/before"));
    EXPECT_FALSE(command.IsCommanded(navigation("http://127.0.0.1:8080/frame", NavigationKind::kReload)));
    EXPECT_FALSE(
        command.IsCommanded(navigation("http://127.0.0.1:8080/elsewhere", NavigationKind::kBackForward)));
    EXPECT_TRUE(
        command.IsCommanded(navigation("http://127.0.0.1:8080/before", NavigationKind::kBackForward)));
    command.Clear();
    EXPECT_FALSE(command.IsPending());
    EXPECT_FALSE(
        command.IsCommanded(navigation("http://127.0.0.1:8080/before", NavigationKind::kBackForward)));

    // A load's address, also a late one of a page begun before, keeps the
    // leave; the page stepping inside itself ends it.
    command.ExpectEntry(NavigationKind::kBackForward, uString("http://127.0.0.1:8080/before"));
    command.OnAddressChanged(uString("http://127.0.0.1:8080/page#part"));
    command.OnAddressChanged(uString("http://127.0.0.1:8080/before"));
    command.OnAddressChanged(uString("http://127.0.0.1:8080/late"));
    EXPECT_TRUE(command.IsPending());
    command.OnAddressChanged(uString("http://127.0.0.1:8080/late#part"));
    EXPECT_FALSE(command.IsPending());

    // A frame's reload decided first keeps it; a step through the history
    // to elsewhere ends it.
    command.ExpectEntry(NavigationKind::kBackForward, uString("http://127.0.0.1:8080/before"));
    command.OnDecided(navigation("http://127.0.0.1:8080/frame", NavigationKind::kReload));
    EXPECT_TRUE(command.IsPending());
    command.OnDecided(navigation("http://127.0.0.1:8080/elsewhere", NavigationKind::kBackForward));
    EXPECT_FALSE(command.IsPending());

    // A step tied to its entry: the page's step to another entry of the
    // same address is not it, and ends it; a reload's entry is not asked.
    const int target = 0;
    const int pushed = 0;
    auto at = [&](const int& entry, NavigationKind kind)
    {
        Navigation made = navigation("http://127.0.0.1:8080/before", kind);
        made.entry = &entry;
        return made;
    };
    command.ExpectEntry(NavigationKind::kBackForward, uString("http://127.0.0.1:8080/before"), &target);
    EXPECT_TRUE(command.IsCommanded(at(target, NavigationKind::kBackForward)));
    EXPECT_FALSE(command.IsCommanded(at(pushed, NavigationKind::kBackForward)));
    command.OnDecided(at(pushed, NavigationKind::kBackForward));
    EXPECT_FALSE(command.IsPending());
    command.ExpectEntry(NavigationKind::kReload, uString("http://127.0.0.1:8080/before"));
    EXPECT_TRUE(command.IsCommanded(at(pushed, NavigationKind::kReload)));
    // Moving to the entry keeps the step (the engine moves before it asks);
    // moving on from there without the step's load ends it.
    const int away = 0;
    command.ExpectEntry(NavigationKind::kBackForward, uString("http://127.0.0.1:8080/before"), &target);
    command.OnEntryChanged(&away);
    EXPECT_TRUE(command.IsPending()) << "a change before the step's own is not its end";
    command.OnEntryChanged(&target);
    EXPECT_TRUE(command.IsCommanded(at(target, NavigationKind::kBackForward)));
    command.OnEntryChanged(&away);
    EXPECT_FALSE(command.IsPending());
}

TEST(HtmlCtrlPolicyTest, AStepInsideThePageDiffersInItsFragmentOnly)
{
    const std::pair<const char*, const char*> inside[] = {
        {"http://h/page#part", "http://h/page"},
        {"http://h/page", "http://h/page#"},
        {"http://h/page?q=1#a", "http://h/page?q=1#b"},
    };
    for (const auto& [from, to] : inside)
        EXPECT_TRUE(htmlctrl::DiffersInFragmentOnly(uString(from), uString(to))) << from << " " << to;
    const std::pair<const char*, const char*> outside[] = {
        {"http://h/page", "http://h/page"}, // the same address loaded twice: two pages
        {"http://h/page#part", "http://h/other#part"},
        {"http://h/page?q=1", "http://h/page?q=2"},
    };
    for (const auto& [from, to] : outside)
        EXPECT_FALSE(htmlctrl::DiffersInFragmentOnly(uString(from), uString(to))) << from << " " << to;
}

// Quick writes: the browser may ask about a replaced write, and report its
// end, after the newer one was put; that must neither use up the newer
// write's question nor end its load.
TEST(HtmlCtrlPolicyTest, EachWriteIsKnownByItsOwnAddress)
{
    htmlctrl::CWrittenPages writes;
    const uString base = htmlctrl::PageBaseUrl();
    EXPECT_FALSE(writes.IsPending());
    EXPECT_FALSE(writes.OnAsked(base)) << "no write: a load of the base address is the page's own";

    const uString channel = writes.OnPut();
    const uString item = writes.OnPut();
    EXPECT_NE(std::string(channel.c_str()), std::string(item.c_str()));
    EXPECT_TRUE(writes.IsPending());
    EXPECT_TRUE(writes.OnAsked(channel));
    EXPECT_TRUE(writes.IsPending());
    EXPECT_TRUE(writes.OnAsked(item)) << "the newest write was refused";
    EXPECT_FALSE(writes.IsPending());
    EXPECT_FALSE(writes.OnAsked(item)) << "the page reloading itself is not a write";
    EXPECT_FALSE(writes.OnAsked(channel));

    // A frame that names the number after the last write's is not the next
    // write's question: the step cannot be foreseen.
    const std::string prefix = std::string(base.c_str()) + "?page=";
    const std::string after = prefix + std::to_string(std::stoull(item.c_str() + prefix.size()) + 1);
    EXPECT_TRUE(htmlctrl::CWrittenPages::IsWritten(writes.OnPut()));
    EXPECT_FALSE(writes.OnAsked(uString(after.c_str())));

    // Three writes, only the last asked about: the guard comes back on.
    writes.OnPut();
    writes.OnPut();
    const uString last = writes.OnPut();
    EXPECT_TRUE(writes.OnAsked(last));
    EXPECT_FALSE(writes.IsPending());

    // Addresses a page may name are never taken for a write still to come.
    for (const std::string& other : {prefix + "99", prefix + "0", prefix + "06", prefix + "6x", prefix,
                                     std::string(base.c_str()) + "style.css?page=6"})
    {
        writes.OnPut();
        EXPECT_FALSE(writes.OnAsked(uString(other.c_str()))) << other;
        EXPECT_TRUE(writes.IsPending()) << other;
    }
    EXPECT_TRUE(htmlctrl::CWrittenPages::IsWritten(channel));
    EXPECT_FALSE(htmlctrl::CWrittenPages::IsWritten(base));
    EXPECT_FALSE(htmlctrl::CWrittenPages::IsWritten(uString("http://127.0.0.1/?page=1")));
}

TEST(HtmlCtrlPolicyTest, AddressesCompareAsAddressesNotAsText)
{
    const std::pair<const char*, const char*> normal[] = {
        {"http://127.0.0.1:8080/%78%32", "http://127.0.0.1:8080/x2"},
        {"HTTP://Example.ORG/A%2fb%7E?Q=%e4#Part", "http://example.org/A%2Fb~?Q=%E4#Part"},
        {"http://u:p@127.0.0.1:8080/x2", "http://127.0.0.1:8080/x2"},
        {"http://h:80/a", "http://h/a"},
        {"https://h:443", "https://h/"},
        {"ftp://h:21/f", "ftp://h/f"},
        {"http://h:0080/", "http://h/"},
        {"http://h:8080?q", "http://h:8080/?q"},
        {"http://[::1]:80/", "http://[::1]/"},
        {"http://h/a b\xc3\xa4", "http://h/a%20b%C3%A4"},
        {"http://h/100%", "http://h/100%"},
        {"mailto:A%40b", "mailto:A%40b"},
    };
    for (const auto& [address, expected] : normal)
        EXPECT_EQ(htmlctrl::NormalAddress(address), expected) << address;

    // Other addresses stay apart: a reserved character's escape is not the
    // character, nor is another port, scheme, or the case of a path.
    const std::pair<const char*, const char*> apart[] = {
        {"http://h/a%2Fb", "http://h/a/b"}, {"http://h/a%3Fb", "http://h/a?b"},
        {"http://h:8080/", "http://h/"},    {"https://h/", "http://h/"},
        {"http://h/A", "http://h/a"},       {"http://h/x#a", "http://h/x#b"},
    };
    for (const auto& [one, two] : apart)
        EXPECT_NE(htmlctrl::NormalAddress(one), htmlctrl::NormalAddress(two)) << one << " " << two;
}

// A load opens one window at most, so the window test shows one address
// leave; which addresses may leave at all is told here.
TEST(HtmlCtrlPolicyTest, OnlyWebAndFtpWindowsGoToTheDesktop)
{
    for (const char* address : {"HTTPS://127.0.0.1/a", "http://127.0.0.1/b", "ftp://127.0.0.1/c"})
        EXPECT_TRUE(htmlctrl::MayOpenOutside(uString(address))) << address;
    for (const char* address : {"file:///etc/passwd", "FILE:///bin/sh", "smb://127.0.0.1/share",
                                "javascript:1", "ssh://127.0.0.1", "http://"})
        EXPECT_FALSE(htmlctrl::MayOpenOutside(uString(address))) << address;
}
