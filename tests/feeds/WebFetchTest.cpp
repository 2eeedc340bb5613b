// The fetch functions against the in-process server on 127.0.0.1: what the
// client sent is read from the server's log.
#include "feeds/WebFetch.h"

#include "feeds/Preference.h"
#include "feeds/support/ConfigHome.h"
#include "feeds/support/FeedTestSupport.h"
#include "foundation/uCurlTransfer.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace feedtest;

namespace
{

namespace fs = std::filesystem;

std::vector<std::string> FileNames(const std::string& directory)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename());
    return names;
}

// A search form, then the login form: only the second may be submitted.
const char kLoginPage[] = R"(<html><head><title>Sign in</title></head><body>
<form action="/search" method="get"><input type="text" name="q"><input type="submit" value="Go"></form>
<form method="POST" action="ACTION">
<input type="text" name="user">
<input type="password" name="pass">
<input type="hidden" name="token" value="x">
<input type="hidden" name="empty">
<input type="checkbox" name="remember" value="1">
<input inputmode="latin" type="hidden" name="mode" value="m">
<input type="submit" name="go" value="Log in">
</form></body></html>)";

std::string LoginPage(const std::string& action)
{
    std::string page = kLoginPage;
    page.replace(page.find("ACTION"), 6, action);
    return page;
}

class WebFetchTest : public ::testing::Test
{
protected:
    ~WebFetchTest() override { CCredentialPrompt::Install(nullptr); }

    // The text fetched, or "<failed>".
    std::string Fetch(const std::string& url, bool login, bool prompt = false)
    {
        uString text;
        return FetchUrlToString(U(url), text, 30, nullptr, login, prompt) ? S(text) : "<failed>";
    }
    static CAuthList& credentials() { return CPreference::GetInstance()->GetAuthList(); }

    ConfigHome config;
    TempDir dir;
    LocalHttpServer server;
};

} // namespace

// With the login flag as without it: an error page is a failed download.
TEST_F(WebFetchTest, AFileFetchFailingWithAnHttpErrorLeavesNoFileAndNoHeaders)
{
    server.serveContent("/feed.xml", "<rss/>", "application/rss+xml");
    server.serve("/broken.xml", TextResponse(500, "<html>Internal error</html>", "text/html"));
    for (const bool login : {false, true})
    {
        SCOPED_TRACE(login ? "login" : "plain");
        const std::string target = dir.file(login ? "feed-login.xml" : "feed.xml");
        uString headers("untouched");
        ASSERT_TRUE(
            FetchUrlToFile(U(server.url("/feed.xml")), uFile(target.c_str()), 30, &headers, login, false));
        EXPECT_EQ(ReadFileBytes(target), "<rss/>");
        EXPECT_NE(S(headers).find("Content-Type: application/rss+xml"), std::string::npos) << S(headers);

        for (const char* path : {"/missing.xml", "/broken.xml"})
        {
            headers = "untouched";
            const std::string failed = dir.file(std::string(login ? "login-" : "plain-") + (path + 1));
            EXPECT_FALSE(
                FetchUrlToFile(U(server.url(path)), uFile(failed.c_str()), 30, &headers, login, false))
                << path;
            EXPECT_FALSE(FileExists(failed)) << path << ": the error page must not reach a file";
            EXPECT_EQ(S(headers), "untouched");
        }
    }
    // The string path hands an error page over: a login may depend on reading it.
    EXPECT_NE(Fetch(server.url("/missing.xml"), false), "<failed>");
}

TEST_F(WebFetchTest, CookiesLiveInAPrivateFilePerSiteAndReachTheNextFetch)
{
    server.route("/hello", [](const HttpRequest&)
                 { return TextResponse(200, "hi").header("Set-Cookie", "session=abc; Path=/"); });
    server.route("/other/page", [](const HttpRequest& request)
                 { return TextResponse(200, "cookie=" + request.cookie("session")); });
    ASSERT_EQ(Fetch(server.url("/hello"), false), "hi");
    EXPECT_EQ(Fetch(server.url("/other/page"), false), "cookie=abc");

    const std::string cache = config.data("cache");
    EXPECT_EQ(ModeOf(cache), 0700u) << "the cache folder is created private";
    std::vector<std::string> files = FileNames(cache);
    ASSERT_EQ(files.size(), 1u) << "one file per site, whatever the path";
    EXPECT_EQ(ModeOf(cache + "/" + files[0]), 0600u);

    LocalHttpServer otherSite;
    otherSite.serve("/", TextResponse(200, "other").header("Set-Cookie", "theme=dark; Path=/"));
    ASSERT_EQ(Fetch(otherSite.url("/"), false), "other");
    EXPECT_EQ(FileNames(cache).size(), 2u) << "another port is another site";
    // A site that sets no cookie leaves no file.
    LocalHttpServer quietSite;
    quietSite.serve("/", TextResponse(200, "quiet"));
    ASSERT_EQ(Fetch(quietSite.url("/"), false), "quiet");
    EXPECT_EQ(FileNames(cache).size(), 2u);
    EXPECT_EQ(otherSite.requests()[0].cookie("session"), "") << "cookies stay with their site";
}

// Site V's 100 feeds each answer 302 to another host, which sets 50 cookies
// an answer: that host's cookies are bounded among themselves, and V's login
// stays in V's file and goes with V's next request. Each row is a host
// reached and the cookie domain it sets.
TEST_F(WebFetchTest, AHostReachedThroughRedirectsNeverPushesOutTheSitesCookies)
{
    CPreference::ProxySection proxy;
    proxy.strHostname = "127.0.0.1";
    proxy.strPort = std::to_string(server.port()).c_str();
    CPreference::GetInstance()->SetProxySection(proxy);
    server.serve("http://v.invalid/login",
                 TextResponse(200, "in").header("Set-Cookie", "login=yes; Path=/; Max-Age=86400"));
    server.route("http://v.invalid/sent",
                 [](const HttpRequest& request) { return TextResponse(200, request.cookie("login")); });
    const struct
    {
        const char* host;
        const char* domain; // the Domain attribute it sets, or none
        const char* line;   // how the jar's lines of its cookies start
    } rows[] = {
        {"w.invalid", "", "w.invalid\t"},
        // A host below V may set cookies for V's domain, never for V alone.
        {"x.v.invalid", "v.invalid", ".v.invalid\t"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.host);
        const std::string host = row.host;
        const std::string domain = *row.domain ? std::string("; Domain=") + row.domain : "";
        server.setDefaultHandler(
            [host, domain](const HttpRequest& request)
            {
                const std::string feed = request.path.substr(request.path.rfind('/') + 1);
                if (request.target.rfind("http://v.invalid/", 0) == 0)
                    return RedirectResponse("http://" + host + "/flood/" + feed);
                HttpResponse response = TextResponse(200, "<rss/>");
                for (int i = 0; i < 50; ++i)
                    response.header("Set-Cookie", host.substr(0, 1) + feed + "_" + std::to_string(i) +
                                                      "=v; Path=/; Max-Age=86400" + domain);
                return response;
            });

        ASSERT_EQ(Fetch("http://v.invalid/login", false), "in");
        for (int feed = 0; feed < 100; ++feed)
            ASSERT_EQ(Fetch("http://v.invalid/feed/" + std::to_string(feed), false), "<rss/>");
        EXPECT_EQ(Fetch("http://v.invalid/sent", false), "yes");

        const std::string cache = config.data("cache");
        ASSERT_EQ(FileNames(cache).size(), 1u) << "the cookies of the host reached are in V's file";
        const std::string jar = ReadFileBytes(cache + "/" + FileNames(cache)[0]);
        EXPECT_NE(jar.find("\tlogin\tyes\n"), std::string::npos);
        std::size_t others = 0;
        for (std::size_t at = 0; (at = jar.find("\n" + std::string(row.line), at)) != std::string::npos; ++at)
            ++others;
        EXPECT_EQ(others, uCurlTransfer::kMostCookiesPerDomain);
        EXPECT_NE(jar.find("\t" + host.substr(0, 1) + "99_49\tv\n"), std::string::npos)
            << "the host's newest stay";
    }
}

// A link planted at a site's cookie file is neither read nor written
// through: the jar replaces the link by a private file of its own.
TEST_F(WebFetchTest, CookieWritesReplaceALinkInsteadOfFollowingIt)
{
    server.route("/hello", [](const HttpRequest&)
                 { return TextResponse(200, "hi").header("Set-Cookie", "session=abc; Path=/"); });
    ASSERT_EQ(Fetch(server.url("/hello"), false), "hi");
    const std::string cache = config.data("cache");
    ASSERT_EQ(FileNames(cache).size(), 1u);
    const std::string cookie = cache + "/" + FileNames(cache)[0];
    const std::string victim = dir.write("victim.txt", "keep me");
    fs::remove(cookie);
    fs::create_symlink(victim, cookie);

    ASSERT_EQ(Fetch(server.url("/hello"), false), "hi");
    EXPECT_EQ(ReadFileBytes(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(cookie));
    EXPECT_EQ(ModeOf(cookie), 0600u);
    EXPECT_NE(ReadFileBytes(cookie).find("session\tabc"), std::string::npos);
    EXPECT_EQ(FileNames(cache).size(), 1u) << "no temporary jar left";

    // A link to a file that does not exist is not created through either.
    fs::remove(cookie);
    fs::create_symlink(dir.file("created.txt"), cookie);
    ASSERT_EQ(Fetch(server.url("/hello"), false), "hi");
    EXPECT_FALSE(fs::exists(dir.file("created.txt")));
    EXPECT_FALSE(fs::is_symlink(cookie));
}

TEST_F(WebFetchTest, LogsInThroughTheFormWithStoredCredentialsAndKeepsTheSession)
{
    const std::string feed = "<rss><channel><title>members</title></channel></rss>";
    server.route("/members/feed.xml",
                 [&](const HttpRequest& request)
                 {
                     if (request.cookie("sid") == "s1")
                         return TextResponse(200, feed, "application/rss+xml");
                     return RedirectResponse("/members/login.html");
                 });
    server.serve("/members/login.html", TextResponse(200, LoginPage("session"), "text/html"));
    server.route("/members/session", [](const HttpRequest&)
                 { return RedirectResponse("/members/feed.xml").header("Set-Cookie", "sid=s1; Path=/"); });
    credentials().Add(server.url("/members/feed.xml").c_str(), "U", "p w");

    EXPECT_EQ(Fetch(server.url("/members/feed.xml"), true), feed);
    std::vector<HttpRequest> posts = server.requestsFor("/members/session");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(posts[0].body, "user=U&pass=p%20w&token=x&empty=U&mode=m&go=Log%20in");
    EXPECT_TRUE(server.requestsFor("/search").empty());

    // The session cookie set at the login is sent by a later plain fetch.
    server.clearLog();
    EXPECT_EQ(Fetch(server.url("/members/feed.xml"), false), feed);
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(WebFetchTest, CredentialsAreNeverSubmittedToAnotherSite)
{
    LocalHttpServer otherPort;
    otherPort.serve("/session", TextResponse(200, "stolen"));
    const std::string foreignForm = LoginPage(otherPort.url("/session"));
    server.serve("/login.html", TextResponse(200, foreignForm, "text/html"));
    credentials().Add(server.url("/login.html").c_str(), "U", "secret");
    EXPECT_EQ(Fetch(server.url("/login.html"), true), foreignForm) << "the page comes back as fetched";
    EXPECT_EQ(otherPort.requestCount(), 0u) << "the form's action is on another port";

    // A redirect to another site's login: what was stored for the first site
    // stays there; what the user types for the second goes to the second.
    otherPort.serve("/login.html", TextResponse(200, LoginPage("/session"), "text/html"));
    server.redirect("/feed.xml", otherPort.url("/login.html"));
    credentials().Add(server.url("/feed.xml").c_str(), "U", "secret");
    EXPECT_EQ(Fetch(server.url("/feed.xml"), true), LoginPage("/session"));
    EXPECT_TRUE(otherPort.requestsFor("/session").empty());

    auto prompt = InstallPrompt("V", "typed");
    EXPECT_EQ(Fetch(server.url("/feed.xml"), true, /*prompt=*/true), "stolen");
    // Not even the first site's user name is offered.
    EXPECT_EQ(prompt->asked, std::vector<std::string>{otherPort.url("/login.html") + " as ''"});
    std::vector<HttpRequest> posts = otherPort.requestsFor("/session");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].body, "user=V&pass=typed&token=x&empty=V&mode=m&go=Log%20in");
    uString user, password;
    ASSERT_TRUE(credentials().GetCredentials(otherPort.url("/login.html").c_str(), user, password));
    EXPECT_EQ(S(user) + ":" + S(password), "V:typed");
}

TEST_F(WebFetchTest, AnswersHttpAuthenticationAtTheUrlReached)
{
    auto gate = [](const HttpRequest& request)
    { return HasBasicAuth(request, "U", "p") ? TextResponse(200, "secret") : UnauthorizedResponse(); };
    LocalHttpServer typed, refused, elsewhere;
    for (LocalHttpServer* site : {&server, &typed, &refused, &elsewhere})
    {
        site->route("/secret", gate);
        site->redirect("/go", "/secret");
    }
    // Stored for the URL the redirect reached.
    credentials().Add(server.url("/secret").c_str(), "U", "p");
    EXPECT_EQ(Fetch(server.url("/go"), true), "secret");

    // Typed at the prompt, whose caption names the URL reached, and stored under it.
    auto prompt = InstallPrompt("U", "p");
    EXPECT_EQ(Fetch(typed.url("/go"), true, /*prompt=*/true), "secret");
    EXPECT_EQ(prompt->asked, std::vector<std::string>{typed.url("/secret") + " as ''"});
    EXPECT_TRUE(credentials().Contains(typed.url("/secret").c_str()));

    // Refused: the retry still runs and its 401 page is the result.
    InstallPrompt();
    EXPECT_NE(Fetch(refused.url("/secret"), true, /*prompt=*/true).find("login required"), std::string::npos);
    // Only this test's own requests: a port is the machine's, and a test in
    // another process may aim at it (see ClosedPort).
    EXPECT_EQ(refused.requestsFor("/secret").size(), 2u);

    // Credentials stored for one site are not retried at the site a redirect reached.
    server.redirect("/away", elsewhere.url("/secret"));
    credentials().Add(server.url("/away").c_str(), "U", "p");
    Fetch(server.url("/away"), true);
    ASSERT_FALSE(elsewhere.requests().empty());
    for (const HttpRequest& request : elsewhere.requests())
        EXPECT_FALSE(request.hasHeader("Authorization"));
}

// Without the login flag (a refresh, a download, a header request) the login
// stored for the URL is still used, offered once the server asks; no prompt,
// no form, nothing stored. It never follows a redirect to another site.
TEST_F(WebFetchTest, PlainFetchesUseTheLoginStoredForTheirUrl)
{
    auto gate = [](const HttpRequest& request)
    { return HasBasicAuth(request, "U", "p") ? TextResponse(200, "secret") : UnauthorizedResponse(); };
    LocalHttpServer elsewhere;
    server.route("/secret", gate);
    elsewhere.route("/secret", gate);
    server.redirect("/away", elsewhere.url("/secret"));
    for (const char* path : {"/secret", "/away"})
        credentials().Add(server.url(path).c_str(), "U", "p");
    auto prompt = InstallPrompt("typed", "typed");

    const std::string target = dir.file("secret.txt");
    ASSERT_TRUE(FetchUrlToFile(U(server.url("/secret")), uFile(target.c_str()), 30, nullptr, false, true));
    EXPECT_EQ(ReadFileBytes(target), "secret") << "the 401 page never reaches the file";
    EXPECT_EQ(Fetch(server.url("/secret"), false, /*prompt=*/true), "secret");
    uString headers;
    ASSERT_TRUE(FetchUrlHeader(U(server.url("/secret")), headers, 30, false, true));
    EXPECT_NE(S(headers).rfind("HTTP/1.1 200"), std::string::npos) << S(headers);
    EXPECT_EQ(server.requests().back().method, "HEAD");
    EXPECT_TRUE(HasBasicAuth(server.requests().back(), "U", "p"));

    EXPECT_NE(Fetch(server.url("/away"), false, /*prompt=*/true).find("login required"), std::string::npos);
    ASSERT_FALSE(elsewhere.requests().empty());
    for (const HttpRequest& request : elsewhere.requests())
        EXPECT_FALSE(request.hasHeader("Authorization"));
    EXPECT_TRUE(prompt->asked.empty());
    EXPECT_FALSE(credentials().Contains(elsewhere.url("/secret").c_str()));
}

TEST_F(WebFetchTest, HeaderRequestsUseHeadUnlessLoggingIn)
{
    server.serveContent("/feed.xml", "<rss/>", "text/xml");
    uString headers;
    ASSERT_TRUE(FetchUrlHeader(U(server.url("/feed.xml")), headers, 30, false, false));
    EXPECT_NE(S(headers).find("Content-Type: text/xml"), std::string::npos);
    ASSERT_TRUE(FetchUrlHeader(U(server.url("/feed.xml")), headers, 30, true, false));
    std::vector<HttpRequest> log = server.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method + log[1].method, "HEADGET");

    headers = "untouched";
    EXPECT_FALSE(FetchUrlHeader("ftp://127.0.0.1:1/x", headers, 5, false, false));
    EXPECT_EQ(S(headers), "untouched");
}

TEST_F(WebFetchTest, FetchesThroughTheConfiguredProxy)
{
    server.serve("http://feeds.invalid/x.xml", TextResponse(200, "<rss/>"));
    CPreference::ProxySection proxy;
    proxy.strHostname = "127.0.0.1";
    proxy.strPort = std::to_string(server.port()).c_str();
    proxy.strUsername = "proxy-user";
    proxy.strPassword = "proxy:secret";
    CPreference::GetInstance()->SetProxySection(proxy);

    EXPECT_EQ(Fetch("http://feeds.invalid/x.xml", false), "<rss/>");
    std::vector<HttpRequest> log = server.requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, "http://feeds.invalid/x.xml");
    EXPECT_TRUE(HasBasicAuth(log[0], "proxy-user", "proxy:secret", "Proxy-Authorization"));

    // The proxy's answer (0: no tunnel) is no reason to take the origin's error page for a feed.
    server.serve("http://feeds.invalid/gone.xml", TextResponse(404, "<html>gone</html>", "text/html"));
    const std::string target = dir.file("gone.xml");
    EXPECT_FALSE(FetchUrlToFile(U("http://feeds.invalid/gone.xml"), uFile(target.c_str()), 30, nullptr,
                                /*login=*/true, /*prompt=*/false));
    EXPECT_FALSE(FileExists(target));
}

// A UTF-16 page is full of NUL bytes: every one of them arrives.
TEST_F(WebFetchTest, AStringFetchKeepsEveryByteOfTheBody)
{
    const std::string utf16("\xFF\xFE<\0r\0s\0s\0/\0>\0\0\0a\0", 18);
    server.serveContent("/utf16.xml", utf16, "application/xml; charset=UTF-16");
    EXPECT_EQ(Fetch(server.url("/utf16.xml"), false), utf16);
    EXPECT_EQ(Fetch(server.url("/utf16.xml"), true), utf16) << "through the login path too";
}

// An FTP header request is no header request: without login it is refused,
// with login it is the whole download, whose header text is empty.
TEST_F(WebFetchTest, FtpHeaderRequestsWithLoginDownloadWithoutHeaders)
{
    if (!LocalFtpServer::available())
        GTEST_SKIP() << "pyftpdlib is not installed";
    LocalFtpServer ftp;
    ftp.write("feed.xml", "<rss/>");
    const uString url = U(ftp.url("/feed.xml"));

    uString headers("untouched");
    EXPECT_FALSE(FetchUrlHeader(url, headers, 30, false, false));
    EXPECT_EQ(S(headers), "untouched");
    EXPECT_TRUE(FetchUrlHeader(url, headers, 30, true, false));
    EXPECT_EQ(S(headers), "");
    EXPECT_EQ(Fetch(S(url), true), "<rss/>");
}
