// Real libcurl against the in-process server on 127.0.0.1: what the client sent is read from
// the server's log, what it received from the files and strings it wrote.
#include "foundation/ProductAddress.h"
#include "foundation/uCurlTransfer.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace testsupport;

namespace
{

const std::string kContent = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

class CurlTransferTest : public ::testing::Test
{
protected:
    // "/login" sets a session cookie; "/feed" says which session it was sent.
    void ServeLoginAndFeed()
    {
        HttpResponse login = TextResponse(200, "ok");
        login.header("Set-Cookie", "session=abc123; Path=/");
        server.serve("/login", login);
        server.route("/feed", [](const HttpRequest& request)
                     { return TextResponse(200, "session " + request.cookie("session")); });
    }

    // One transfer of the path with this cookie file, gone (its jar written) on return.
    std::string FetchWithJar(const std::string& path, const std::string& jar)
    {
        uCurlTransfer transfer(U(server.url(path)));
        EXPECT_TRUE(transfer.setCookieFile(uFile(jar.c_str())));
        uString body;
        EXPECT_TRUE(transfer.downloadToString(&body));
        return S(body);
    }

    // Drives one download into the named file and reports the transfer's outcome.
    bool download(const std::string& path, const std::string& fileName, uint16_t* lastResult = nullptr)
    {
        uCurlTransfer transfer(U(server.url(path)));
        uFile file(dir.file(fileName).c_str());
        bool ok = transfer.downloadToFile(&file);
        if (lastResult)
            *lastResult = transfer.getLastResult();
        return ok;
    }

    LocalHttpServer server;
    TempDir dir;
};

} // namespace

TEST_F(CurlTransferTest, FollowsRedirectsIntoAStringAndKeepsEveryHeader)
{
    server.redirect("/start", "/middle", 301);
    server.redirect("/middle", server.url("/final"));
    server.serve("/final", TextResponse(200, "<rss/>", "application/rss+xml"));

    uCurlTransfer transfer(U(server.url("/start")));
    uString body;
    ASSERT_TRUE(transfer.downloadToString(&body)) << transfer.getErrorText();
    EXPECT_EQ(S(body), "<rss/>");
    EXPECT_EQ(transfer.getResponseCode(), 200);
    EXPECT_EQ(std::string(transfer.getEffectiveURL()), server.url("/final"));
    std::string headers = transfer.getHeaders();
    EXPECT_NE(headers.find("301 Moved Permanently"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Content-Type: application/rss+xml"), std::string::npos);
    EXPECT_FALSE(server.requests()[0].hasHeader("Accept-Encoding"))
        << "compressed bodies would break byte ranges";
    EXPECT_EQ(server.requests()[0].header("User-Agent"),
              std::string("Mozilla/4.0 (compatible; Kestrova RSS reader/ruvivivod +") + kProductWebAddress +
                  ")");

    // A header request, then the same object fetches a body again.
    server.clearLog();
    uString head;
    ASSERT_TRUE(transfer.setURL(U(server.url("/final"))));
    ASSERT_TRUE(transfer.getHead(&head));
    EXPECT_NE(S(head).find("Content-Length: 6"), std::string::npos);
    EXPECT_EQ(S(head), std::string(transfer.getHeaders()));
    ASSERT_TRUE(transfer.downloadToString(&body));
    EXPECT_EQ(S(body), "<rss/>");
    auto log = server.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].method, "HEAD");
    EXPECT_EQ(log[1].method, "GET");
}

TEST_F(CurlTransferTest, ResumesAPartialFileOnlyWhereThatGivesTheRightBytes)
{
    server.serveContent("/file", kContent);
    server.serveContent("/norange", kContent, "application/octet-stream", /*honourRange=*/false);
    server.serve("/missing", TextResponse(404, "<html>not here</html>", "text/html"));

    // 206: the rest is appended.
    dir.write("partial", kContent.substr(0, 10));
    ASSERT_TRUE(download("/file", "partial"));
    EXPECT_EQ(ReadFileBytes(dir.file("partial")), kContent);
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=10-");

    // 416 on a file that is already complete: success, nothing changed.
    ASSERT_TRUE(download("/file", "partial"));
    EXPECT_EQ(ReadFileBytes(dir.file("partial")), kContent);

    // A longer local file is not "complete": the 416 is a failure and the file stays.
    dir.write("longer", kContent + "extra");
    EXPECT_FALSE(download("/file", "longer"));
    EXPECT_EQ(ReadFileBytes(dir.file("longer")), kContent + "extra");

    // The server ignores Range and answers 200: the file is replaced, not doubled.
    dir.write("ignored", kContent.substr(0, 7));
    ASSERT_TRUE(download("/norange", "ignored"));
    EXPECT_EQ(ReadFileBytes(dir.file("ignored")), kContent);

    // An error status during a resume keeps the partial file byte for byte.
    dir.write("kept", kContent.substr(0, 12));
    uint16_t result = 0;
    EXPECT_FALSE(download("/missing", "kept", &result));
    EXPECT_EQ(result, 22);
    EXPECT_EQ(ReadFileBytes(dir.file("kept")), kContent.substr(0, 12));

    // An existing empty file is written anew, without a Range header.
    dir.write("empty", "");
    ASSERT_TRUE(download("/file", "empty"));
    EXPECT_EQ(ReadFileBytes(dir.file("empty")), kContent);
    EXPECT_FALSE(server.requests().back().hasHeader("Range"));
}

TEST_F(CurlTransferTest, ARefusedOrBrokenResumeStartsOverOnceAndKeepsTheFile)
{
    // Without range support, under a limit that the new body alone respects: the old partial
    // bytes do not count against it.
    const std::string body(1000, 'b');
    server.serveContent("/norange", body, "application/octet-stream", /*honourRange=*/false);
    dir.write("limited", std::string(600, 'a'));
    {
        uCurlTransfer transfer(U(server.url("/norange")));
        ASSERT_TRUE(transfer.setMaxBodyBytes(1500));
        uFile file(dir.file("limited").c_str());
        EXPECT_TRUE(transfer.downloadToFile(&file))
            << transfer.getLastResult() << " " << transfer.getErrorText();
        EXPECT_FALSE(transfer.bodyTooLarge());
    }
    EXPECT_EQ(ReadFileBytes(dir.file("limited")), body);

    // A resumed transfer that breaks off is started over from the first byte, once.
    server.route("/breaks",
                 [](const HttpRequest& request)
                 {
                     HttpResponse response = ContentResponse(request, kContent);
                     if (request.rangeStart())
                         response.breakAfter = 5;
                     return response;
                 });
    dir.write("broken", kContent.substr(0, 10));
    ASSERT_TRUE(download("/breaks", "broken"));
    EXPECT_EQ(ReadFileBytes(dir.file("broken")), kContent);
    const auto requests = server.requestsFor("/breaks");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("Range"), "bytes=10-");
    EXPECT_FALSE(requests[1].hasHeader("Range"));
}

TEST_F(CurlTransferTest, AnErrorPageNeverBecomesTheDownloadedFile)
{
    server.serve("/missing", TextResponse(404, "<html>not here</html>", "text/html"));
    server.serve("/broken", TextResponse(500, "stack trace", "text/plain"));
    server.serve("/gone", TextResponse(410, "", "text/plain"));

    for (const char* path : {"/missing", "/broken", "/gone"})
    {
        uCurlTransfer transfer(U(server.url(path)));
        uFile file(dir.file("episode.mp3").c_str());
        EXPECT_FALSE(transfer.downloadToFile(&file)) << path;
        EXPECT_EQ(transfer.getLastResult(), 22) << path;
        EXPECT_FALSE(FileExists(dir.file("episode.mp3"))) << path << ": no empty or error file is left";
    }

    // A download that breaks off keeps what arrived; the next call completes it.
    HttpResponse cut = TextResponse(200, kContent);
    cut.breakAfter = 16;
    server.serve("/flaky", cut);
    uint16_t result = 0;
    EXPECT_FALSE(download("/flaky", "flaky", &result));
    EXPECT_EQ(result, 18);
    EXPECT_EQ(ReadFileBytes(dir.file("flaky")), kContent.substr(0, 16));
    server.serveContent("/flaky", kContent);
    ASSERT_TRUE(download("/flaky", "flaky"));
    EXPECT_EQ(ReadFileBytes(dir.file("flaky")), kContent);
}

TEST_F(CurlTransferTest, AsksForLoginOn401AndSendsTheCredentials)
{
    server.route("/private",
                 [](const HttpRequest& request) {
                     return HasBasicAuth(request, "reader", "pa:ss") ? TextResponse(200, "welcome")
                                                                     : UnauthorizedResponse();
                 });

    uCurlTransfer transfer(U(server.url("/private")));
    uString body;
    ASSERT_TRUE(transfer.downloadToString(&body)) << "the 401 page itself is a successful transfer";
    EXPECT_TRUE(transfer.needsLogin());
    EXPECT_NE(S(body).find("login required"), std::string::npos);

    transfer.setCredentials("reader", "pa:ss");
    ASSERT_TRUE(transfer.downloadToString(&body));
    EXPECT_FALSE(transfer.needsLogin());
    EXPECT_EQ(S(body), "welcome");
    EXPECT_TRUE(HasBasicAuth(server.requests().back(), "reader", "pa:ss"));
}

TEST_F(CurlTransferTest, CookiesPersistInTheJarAcrossObjects)
{
    ServeLoginAndFeed();
    const std::string jar = dir.file("site.cookie");

    {
        uCurlTransfer transfer(U(server.url("/login")));
        ASSERT_TRUE(transfer.setCookieFile(uFile(jar.c_str())));
        uString body;
        ASSERT_TRUE(transfer.downloadToString(&body));
        ASSERT_TRUE(transfer.setURL(U(server.url("/feed"))));
        ASSERT_TRUE(transfer.downloadToString(&body));
        EXPECT_EQ(S(body), "session abc123") << "the same object sends the cookie back";
    }
    ASSERT_TRUE(FileExists(jar)) << "the jar is written when the object goes away";

    EXPECT_EQ(FetchWithJar("/feed", jar), "session abc123");

    // Without a file the engine still keeps cookies within one object.
    uCurlTransfer memoryOnly(U(server.url("/login")));
    ASSERT_TRUE(memoryOnly.setCookieFile(uFile()));
    uString body;
    ASSERT_TRUE(memoryOnly.downloadToString(&body));
    ASSERT_TRUE(memoryOnly.setURL(U(server.url("/feed"))));
    ASSERT_TRUE(memoryOnly.downloadToString(&body));
    EXPECT_EQ(S(body), "session abc123");
}

// The jar is written only when it says something new; a transfer that never
// ran, or that a server answered without cookies, keeps the file's cookies.
TEST_F(CurlTransferTest, AJarWithNothingNewLeavesTheCookieFileAsItIs)
{
    ServeLoginAndFeed();
    const std::string jar = dir.file("site.cookie");
    FetchWithJar("/login", jar);
    struct stat before = {};
    ASSERT_EQ(::stat(jar.c_str(), &before), 0);
    const std::string written = ReadFileBytes(jar);

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FetchWithJar("/feed", jar), "session abc123");
    {
        uCurlTransfer unused(U(server.url("/feed")));
        ASSERT_TRUE(unused.setCookieFile(uFile(jar.c_str())));
    }
    struct stat after = {};
    ASSERT_EQ(::stat(jar.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was not replaced";
    EXPECT_EQ(ReadFileBytes(jar), written);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary jar left";

    // A new cookie is written, and the old one kept beside it.
    HttpResponse more = TextResponse(200, "ok");
    more.header("Set-Cookie", "theme=dark; Path=/");
    server.serve("/theme", more);
    FetchWithJar("/theme", jar);
    const std::string now = ReadFileBytes(jar);
    EXPECT_NE(now.find("session\tabc123"), std::string::npos);
    EXPECT_NE(now.find("theme\tdark"), std::string::npos);
}

// Transfers of one site overlap: each answer sets the next value of s, and
// the bodies are held so that the transfer that started first ends last. The
// cookies an answer sets reach the jar at once; no transfer ending later puts
// the older values it started with back, and a cookie an answer deleted
// stays deleted.
TEST_F(CurlTransferTest, OverlappingTransfersOfASiteNeverPutOlderCookiesBack)
{
    constexpr int kTransfers = 6;
    const std::string jar = dir.file("site.cookie");
    HttpResponse seed = TextResponse(200, "seed");
    seed.header("Set-Cookie", "s=0; Path=/; Max-Age=3600")
        .header("Set-Cookie", "gone=x; Path=/; Max-Age=3600")
        .header("Set-Cookie", "other=o; Path=/");
    server.serve("/seed", seed);
    FetchWithJar("/seed", jar);

    struct Bodies
    {
        std::mutex lock;
        std::condition_variable changed;
        int answered = 0;
        std::set<int> released;
        std::map<int, std::string> sent; // the value of s each request carried
    };
    auto bodies = std::make_shared<Bodies>();
    server.route("/count",
                 [bodies](const HttpRequest& request)
                 {
                     std::lock_guard hold(bodies->lock);
                     const int n = ++bodies->answered;
                     bodies->sent[n] = request.hasHeader("Cookie") ? request.cookie("s") : "<none>";
                     HttpResponse response = TextResponse(200, "body " + std::to_string(n));
                     response.header("Set-Cookie", "s=" + std::to_string(n) + "; Path=/; Max-Age=3600");
                     if (n == 3)
                         response.header("Set-Cookie", "gone=; Path=/; Max-Age=0");
                     response.holdAfter = 1;
                     response.hold = [bodies, n]
                     {
                         std::unique_lock wait(bodies->lock);
                         bodies->changed.wait_for(wait, std::chrono::seconds(60),
                                                  [&] { return bodies->released.count(n) != 0; });
                     };
                     return response;
                 });
    auto release = [bodies](int n)
    {
        std::lock_guard hold(bodies->lock);
        bodies->released.insert(n);
        bodies->changed.notify_all();
    };
    auto jarHolds = [&](const std::string& cookie)
    { return ReadFileBytes(jar).find(cookie) != std::string::npos; };

    std::vector<std::jthread> transfers;
    // Whatever fails below, every body is let go before the transfers are joined.
    struct ReleaseAll
    {
        std::function<void()> run;
        ~ReleaseAll() { run(); }
    } releaseAll{[&]
                 {
                     for (int n = 1; n <= kTransfers; ++n)
                         release(n);
                 }};
    for (int n = 1; n <= kTransfers; ++n)
    {
        transfers.emplace_back([this, jar, n]
                               { EXPECT_EQ(FetchWithJar("/count", jar), "body " + std::to_string(n)); });
        // Its answer's cookie is in the jar while its body is still held.
        const std::string value = "\ts\t" + std::to_string(n) + "\n";
        bool arrived = false;
        for (int waited = 0; waited < 10000 && !(arrived = jarHolds(value)); waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(arrived) << "s=" << n << " not in the jar:\n" << ReadFileBytes(jar);
    }
    const std::string newest = "\ts\t" + std::to_string(kTransfers) + "\n";
    for (int n = kTransfers; n >= 1; --n)
    {
        release(n);
        transfers[n - 1].join();
        EXPECT_TRUE(jarHolds(newest)) << "after transfer " << n << " ended:\n" << ReadFileBytes(jar);
    }
    for (int n = 1; n <= kTransfers; ++n)
        EXPECT_EQ(bodies->sent[n], std::to_string(n - 1)) << "request " << n;
    EXPECT_FALSE(jarHolds("\tgone\t")) << ReadFileBytes(jar);
    EXPECT_TRUE(jarHolds("\tother\to\n"));
    server.route("/which", [](const HttpRequest& request)
                 { return TextResponse(200, request.cookie("s") + request.cookie("gone")); });
    EXPECT_EQ(FetchWithJar("/which", jar), std::to_string(kTransfers));
}

// A jar that something else holds open (an exclusive open through uFile)
// still takes the cookies a transfer received.
TEST_F(CurlTransferTest, ASaveIsNotLostWhileTheJarIsHeldOpen)
{
    ServeLoginAndFeed();
    // Cookies of other names: one that ran out in 2001 leaves at the save,
    // one good until 2100 stays.
    const std::string jar = dir.write("site.cookie", "127.0.0.1\tFALSE\t/\tFALSE\t1000000000\told\tx\n"
                                                     "127.0.0.1\tFALSE\t/\tFALSE\t4102444800\tkeep\ty\n");
    {
        uFile holder(jar.c_str());
        ASSERT_TRUE(holder.open());
        FetchWithJar("/login", jar);
    }
    const std::string saved = ReadFileBytes(jar);
    EXPECT_NE(saved.find("session\tabc123"), std::string::npos);
    EXPECT_NE(saved.find("\tkeep\ty"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\told\tx"), std::string::npos) << saved;
    EXPECT_EQ(FetchWithJar("/feed", jar), "session abc123");
}

TEST_F(CurlTransferTest, TimeOutAndAbortFlagEndASlowTransfer)
{
    HttpResponse drip = TextResponse(200, std::string(400, 'd'));
    drip.dripMs = 250;
    server.serve("/drip", drip);

    uCurlTransfer timed(U(server.url("/drip")));
    ASSERT_TRUE(timed.setTimeout(1));
    uString body;
    EXPECT_FALSE(timed.downloadToString(&body));
    EXPECT_EQ(timed.getLastResult(), 28);

    // The flag is set from another thread once the first bytes are on disk; the partial file
    // stays for a later resume.
    std::atomic<bool> abort{false};
    uCurlTransfer download(U(server.url("/drip")));
    download.setAbortFlag(&abort);
    uFile file(dir.file("drip.bin").c_str());
    std::thread stopper(
        [&]
        {
            for (int i = 0; i < 2000 && GetFileSize(dir.file("drip.bin").c_str()) < 2; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            abort = true;
        });
    EXPECT_FALSE(download.downloadToFile(&file));
    stopper.join();
    EXPECT_EQ(download.getLastResult(), 42);
    std::string kept = ReadFileBytes(dir.file("drip.bin"));
    EXPECT_GE(kept.size(), 2u);
    EXPECT_LT(kept.size(), 400u);
}

TEST_F(CurlTransferTest, AFailureBlocksTheObjectUntilTheNextSetUrl)
{
    server.serve("/ok", TextResponse(200, "fine"));
    uCurlTransfer transfer(U("file:///etc/hostname"));
    uString body;
    EXPECT_FALSE(transfer.downloadToString(&body)) << "only http, https and ftp are spoken";
    EXPECT_EQ(transfer.getLastResult(), 1);
    EXPECT_STRNE(transfer.getErrorText(), "");

    // Everything fails now, without reaching the network.
    EXPECT_FALSE(transfer.postToString("a=b", &body));
    EXPECT_FALSE(transfer.setCookieFile(uFile(dir.file("jar").c_str()))) << "must not hide the failure";
    EXPECT_EQ(transfer.getLastResult(), 1);
    EXPECT_EQ(server.requestCount(), 0u);

    ASSERT_TRUE(transfer.setURL(U(server.url("/ok"))));
    EXPECT_EQ(transfer.getLastResult(), 0);
    ASSERT_TRUE(transfer.downloadToString(&body));
    EXPECT_EQ(S(body), "fine");
}

TEST_F(CurlTransferTest, RefusesOtherProtocolsAndEndlessRedirects)
{
    const std::string secret = dir.write("secret.txt", "local data");
    server.redirect("/to-file", "file://" + secret);
    server.redirect("/loop", "/loop");

    uCurlTransfer transfer(U(server.url("/to-file")));
    uFile target(dir.file("copy").c_str());
    EXPECT_FALSE(transfer.downloadToFile(&target));
    EXPECT_EQ(transfer.getLastResult(), 1);
    EXPECT_FALSE(FileExists(dir.file("copy")));

    ASSERT_TRUE(transfer.setURL(U(server.url("/loop"))));
    uString body;
    EXPECT_FALSE(transfer.downloadToString(&body));
    EXPECT_EQ(transfer.getLastResult(), 47);
    EXPECT_EQ(server.requestsFor("/loop").size(), 31u);
}

TEST_F(CurlTransferTest, UsesOnlyTheConfiguredProxyAndKeepsItsTunnelAnswer)
{
    // One server plays both parts: as a proxy it receives the absolute-form target.
    server.route("http://origin.test/feed",
                 [](const HttpRequest& request)
                 {
                     return HasBasicAuth(request, "proxyuser", "proxy:pass", "Proxy-Authorization")
                                ? UnauthorizedResponse()
                                : TextResponse(407, "proxy login", "text/plain");
                 });
    server.serve("/direct", TextResponse(200, "direct"));
    LocalHttpServer deadEnd; // stands for whatever the environment names
    deadEnd.setDefaultHandler([](const HttpRequest&) { return TextResponse(502, "environment proxy used"); });
    ScopedEnv httpProxy("http_proxy", deadEnd.url());
    ScopedEnv allProxy("ALL_PROXY", deadEnd.url());

    uCurlTransfer viaProxy(U("http://origin.test/feed"));
    ASSERT_TRUE(viaProxy.setProxy("127.0.0.1", server.port(), false, "proxyuser", "proxy:pass"));
    uString body;
    ASSERT_TRUE(viaProxy.downloadToString(&body)) << viaProxy.getErrorText();
    EXPECT_EQ(viaProxy.getResponseCode(), 0) << "no tunnel was asked for";
    EXPECT_FALSE(viaProxy.needsLogin()) << "the status through a proxy is the proxy's answer";
    EXPECT_EQ(viaProxy.getServerResponseCode(), 401) << "the origin's answer stays known";
    auto log = server.requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, "http://origin.test/feed");

    uCurlTransfer direct(U(server.url("/direct")));
    ASSERT_TRUE(direct.downloadToString(&body));
    EXPECT_EQ(S(body), "direct");
    EXPECT_EQ(deadEnd.requestCount(), 0u);
}

TEST_F(CurlTransferTest, SubmitsFormsByPostAndByGet)
{
    server.route("/login", [](const HttpRequest& request)
                 { return TextResponse(200, request.method + ":" + request.body); });
    server.route("/search", [](const HttpRequest& request) { return TextResponse(200, request.query); });

    uCurlTransfer transfer(U(server.url("/login")));
    uString body;
    ASSERT_TRUE(
        transfer.postForm(std::vector<uString>{"user", "pass"}, std::vector<uString>{"a b", "x&y"}, &body));
    EXPECT_EQ(S(body), "POST:user=a%20b&pass=x%26y");
    EXPECT_EQ(server.requests().back().header("Content-Type"), "application/x-www-form-urlencoded");
    ASSERT_TRUE(transfer.downloadToString(&body));
    EXPECT_EQ(S(body), "GET:") << "the next transfer is a plain GET again";

    uFile reply(dir.file("reply.html").c_str());
    ASSERT_TRUE(transfer.postFormToFile({uFormField{"n", "1"}}, &reply));
    reply.close();
    EXPECT_EQ(ReadFileBytes(dir.file("reply.html")), "POST:n=1");

    ASSERT_TRUE(transfer.setURL(U(server.url("/search?id=7#results"))));
    ASSERT_TRUE(transfer.getForm({"q"}, {"feeds & more"}, &body));
    EXPECT_EQ(S(body), "id=7&q=feeds%20%26%20more");
    ASSERT_TRUE(transfer.setURL(U(server.url("/search"))));
    ASSERT_TRUE(transfer.getForm({}, {}, &body));
    EXPECT_EQ(server.requests().back().target, "/search") << "no fields: the URL as it stands";
}
