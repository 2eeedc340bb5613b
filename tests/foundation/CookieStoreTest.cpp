// The cookie store that the transfers of a site share in one process, and its
// file: real libcurl against the in-process server on 127.0.0.1.
#include "foundation/uCurlTransfer.h"
#include "support/ChildProcess.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace
{

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

uString U(const std::string& text)
{
    return uString(text.data(), 0, static_cast<int>(text.size()));
}

// A gate a held answer waits at, opened by the test (or at its end, whatever
// failed, so that no transfer is left waiting).
struct Gate
{
    std::mutex lock;
    std::condition_variable changed;
    bool reached = false;
    bool open = false;

    void wait()
    {
        std::unique_lock hold(lock);
        reached = true;
        changed.notify_all();
        changed.wait(hold, [this] { return open; });
    }
    bool waitUntilReached()
    {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(30), [this] { return reached; });
    }
    void release()
    {
        std::lock_guard hold(lock);
        open = true;
        changed.notify_all();
    }
};

// The exclusive flock on a folder that another program holds.
class FolderHolder
{
public:
    explicit FolderHolder(const std::string& folder) : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY))
    {
        EXPECT_EQ(::flock(m_fd, LOCK_EX), 0);
    }
    ~FolderHolder() { release(); }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

class CookieStoreTest : public ::testing::Test
{
protected:
    // One transfer of the path with the site's cookie file; the body it got.
    std::string Fetch(const std::string& path)
    {
        uCurlTransfer transfer(U(server.url(path)));
        EXPECT_TRUE(transfer.setCookieFile(uFile(jar.c_str())));
        uString body;
        EXPECT_TRUE(transfer.downloadToString(&body));
        return S(body);
    }

    bool JarHolds(const std::string& cookie) const
    {
        return ReadFileBytes(jar).find(cookie) != std::string::npos;
    }

    // The names of the jar's cookies, as the file lists them; of one domain when given.
    std::vector<std::string> JarNames(const std::string& domain = "") const
    {
        std::vector<std::string> names;
        const std::string text = ReadFileBytes(jar);
        for (std::size_t start = 0, end; start < text.size(); start = end + 1)
        {
            end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            std::size_t field = 0;
            for (int tab = 0; tab < 5 && field != std::string::npos; ++tab)
                field = line.find('\t', field == 0 ? 0 : field + 1);
            if (!line.empty() && line[0] != '#' && field != std::string::npos &&
                (domain.empty() || line.rfind(domain + "\t", 0) == 0))
                names.push_back(line.substr(field + 1, line.find('\t', field + 1) - field - 1));
            if (end == std::string::npos)
                break;
        }
        return names;
    }

    // "/set/N" sets the 50 cookies nN_0 ... nN_49.
    void ServeFiftyCookies()
    {
        server.setDefaultHandler(
                     [](const HttpRequest& request)
                     {
                         HttpResponse response = TextResponse(200, "set");
                         const std::string n = request.path.substr(5);
                         for (int i = 0; i < 50; ++i)
                             response.header("Set-Cookie",
                                             "n" + n + "_" + std::to_string(i) + "=v; Path=/; Max-Age=86400");
                         return response;
                     });
    }

    // Another copy of the program on the same cookie folder, running `steps`.
    std::unique_ptr<ChildProcess> Probe(std::vector<std::string> steps)
    {
        steps.insert(steps.begin(), {std::string(KESTROVA_COOKIE_PROBE), jar});
        return std::make_unique<ChildProcess>(steps, dir.file("probe.log"));
    }

    TempDir dir;
    std::string jar = dir.file("site.cookie");
    LocalHttpServer server;
};

// Another program holds the folder lock: transfers run to their end without
// waiting for it, the process keeps sending what it received, and the first
// save after the lock is let go writes it all, keeping what the other program
// wrote meanwhile, which the process takes in as well.
TEST_F(CookieStoreTest, AHeldFolderLockDelaysTheSaveAndStopsNoTransfer)
{
    server.serve("/login", TextResponse(200, "ok").header("Set-Cookie", "session=abc; Path=/"));
    server.route(
        "/feed", [](const HttpRequest& request)
        { return TextResponse(200, "session " + request.cookie("session") + request.cookie("other")); });
    FolderHolder holder(dir.path());

    auto login = std::async(std::launch::async, [this] { return Fetch("/login"); });
    // Only a bound for a hang: with the lock waited for, the transfer never ends.
    if (login.wait_for(std::chrono::seconds(60)) != std::future_status::ready)
    {
        holder.release();
        FAIL() << "the transfer waits for the folder lock";
    }
    EXPECT_EQ(login.get(), "ok");
    EXPECT_FALSE(FileExists(jar)) << "nothing is written while the lock is held elsewhere";
    EXPECT_EQ(Fetch("/feed"), "session abc") << "the process still has the cookie";

    // The other program writes a cookie of its own before letting go.
    dir.write("site.cookie", "127.0.0.1\tFALSE\t/\tFALSE\t0\tother\tx\n");
    holder.release();
    EXPECT_EQ(Fetch("/feed"), "session abcx") << "what the other program wrote is sent too";
    EXPECT_TRUE(JarHolds("\tsession\tabc\n")) << ReadFileBytes(jar);
    EXPECT_TRUE(JarHolds("\tother\tx\n")) << ReadFileBytes(jar);

    // What the other program deletes leaves the process too.
    dir.write("site.cookie", "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc\n");
    EXPECT_EQ(Fetch("/feed"), "session abc");
}

// The first answer's headers stop short of their end after s=1; the second
// transfer starts after that, is sent s=1 and gets s=2. When the first one's
// headers end and it saves, last, the file keeps s=2: the order the cookies
// arrived in, not the order the transfers save in.
TEST_F(CookieStoreTest, CookiesFollowTheOrderOfTheirArrivalNotOfTheSaves)
{
    auto gate = std::make_shared<Gate>();
    server.route("/first",
                 [gate](const HttpRequest&)
                 {
                     HttpResponse response = TextResponse(200, "first");
                     response.header("Set-Cookie", "s=1; Path=/; Max-Age=3600");
                     response.holdInHead = [gate] { gate->wait(); };
                     return response;
                 });
    // Sets s=2 only over s=1, so that the first answer's cookie is known to
    // be in before the second's.
    server.route("/second",
                 [](const HttpRequest& request)
                 {
                     HttpResponse response = TextResponse(200, request.cookie("s"));
                     if (request.cookie("s") == "1")
                         response.header("Set-Cookie", "s=2; Path=/; Max-Age=3600");
                     return response;
                 });
    server.route("/which", [](const HttpRequest& request) { return TextResponse(200, request.cookie("s")); });

    std::thread first([this] { EXPECT_EQ(Fetch("/first"), "first"); });
    // Whatever fails below, the first answer is let go before the end.
    struct JoinFirst
    {
        Gate& gate;
        std::thread& thread;
        ~JoinFirst()
        {
            gate.release();
            if (thread.joinable())
                thread.join();
        }
    } joinFirst{*gate, first};
    ASSERT_TRUE(gate->waitUntilReached());

    std::string sent;
    for (int attempt = 0; attempt < 2000 && (sent = Fetch("/second")) != "1"; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(sent, "1") << "a transfer that starts later is sent the cookie the first received";

    gate->release();
    first.join();
    // Transfers that overlapped leave the write to the jars' thread.
    for (int waited = 0; waited < 10000 && !JarHolds("\ts\t"); waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(JarHolds("\ts\t2\n")) << "after the first transfer saved:\n" << ReadFileBytes(jar);
    EXPECT_EQ(Fetch("/which"), "2");
    EXPECT_TRUE(JarHolds("\ts\t2\n")) << ReadFileBytes(jar);
}

// The close while a save of the jars' own runs on a slow disk: the close
// waits for it, and returns with every cookie in the file.
std::atomic<bool> g_closeReturned{false};
std::atomic<bool> g_inSave{false};
void SlowDisk(const std::string&)
{
    g_inSave = true;
    for (int waited = 0; waited < 2000 && !g_closeReturned; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST_F(CookieStoreTest, TheCloseWaitsForASaveThatIsRunning)
{
    ServeFiftyCookies();
    uCurlTransfer::setCookieSaveHook(&SlowDisk);
    auto fetch = std::async(std::launch::async, [this] { return Fetch("/set/1"); });
    for (int waited = 0; waited < 30000 && !g_inSave; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(g_inSave) << "a save runs";
    uCurlTransfer::saveDueCookies();
    const std::vector<std::string> atClose = JarNames();
    g_closeReturned = true;
    EXPECT_EQ(fetch.get(), "set");
    uCurlTransfer::setCookieSaveHook(nullptr);
    EXPECT_EQ(atClose.size(), 50u) << "when the close returned:\n" << ReadFileBytes(jar);
}

// A jar of 2000 cookies of this site's host and 2000 of another, from an
// older version, from libcurl (newest first) or with the time of each line:
// it is read whole, and each domain keeps its most recently set cookies up to
// the bound, in the store and in the file, without making room for another's.
// Beyond the site's bound, the domains holding the most give way first.
TEST_F(CookieStoreTest, EachDomainKeepsItsMostRecentlySetCookiesUpToTheBound)
{
    ServeFiftyCookies();
    server.route("/sent",
                 [](const HttpRequest& request) { return TextResponse(200, request.header("Cookie")); });
    const std::size_t bound = uCurlTransfer::kMostCookiesPerDomain;
    const std::size_t oldKept = bound - 50;
    const struct
    {
        const char* file;
        const char* header;
        bool newestFirst;
        bool timed; // each line after the time it was set
    } rows[] = {
        {"older.cookie", "", false, false},
        {"libcurl.cookie",
         "# Netscape HTTP Cookie File\n# https://curl.se/docs/http-cookies.html\n"
         "# This file was generated by libcurl! Edit at your own risk.\n\n",
         true, false},
        {"timed.cookie", "", true, true},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.file);
        jar = dir.file(row.file);
        std::vector<std::string> lines;
        for (int i = 0; i < 2000; ++i)
            for (const char* cookie :
                 {"127.0.0.1\tFALSE\t/\tFALSE\t0\told", "other.invalid\tFALSE\t/\tFALSE\t0\tother"})
                lines.push_back(
                    (row.timed ? "# set " + std::to_string(1700000000 + i) + ".000000000\n" : "") + cookie +
                    std::to_string(i) + "\tv\n");
        if (row.newestFirst)
            std::reverse(lines.begin(), lines.end());
        std::string text = row.header;
        for (const std::string& line : lines)
            text += line;
        dir.write(row.file, text);

        EXPECT_EQ(Fetch("/set/0"), "set");
        // A save the answer started on the saving thread may still run.
        uCurlTransfer::saveDueCookies();
        std::vector<std::string> names = JarNames("127.0.0.1");
        ASSERT_EQ(names.size(), bound) << "the newest of the old, then the new";
        EXPECT_EQ(names.front(), "old" + std::to_string(2000 - oldKept));
        EXPECT_EQ(names[oldKept - 1], "old1999");
        EXPECT_EQ(names.back().substr(0, 3), "n0_");
        const std::vector<std::string> others = JarNames("other.invalid");
        ASSERT_EQ(others.size(), bound);
        EXPECT_EQ(others.front(), "other" + std::to_string(2000 - bound));
        EXPECT_EQ(others.back(), "other1999");

        for (int n = 1; n * 50 <= static_cast<int>(bound); ++n)
            EXPECT_EQ(Fetch("/set/" + std::to_string(n)), "set");
        uCurlTransfer::saveDueCookies();
        names = JarNames("127.0.0.1");
        ASSERT_EQ(names.size(), bound);
        for (const std::string& name : names)
            EXPECT_NE(name.substr(0, 3), "old") << "the least recently set went first";
        EXPECT_EQ(JarNames("other.invalid").size(), bound) << "another domain's made no room";
        EXPECT_EQ(Fetch("/sent").find("old"), std::string::npos) << "the store let them go too";
    }

    // The site's login is its oldest cookie, beside more domains than its
    // bound holds: the domains holding the most give way, and it stays.
    jar = dir.file("many.cookie");
    std::string many = "127.0.0.1\tFALSE\t/\tFALSE\t0\tlogin\tyes\n";
    const std::size_t hosts = uCurlTransfer::kMostCookiesPerSite / bound + 1;
    for (std::size_t host = 0; host < hosts; ++host)
        for (std::size_t i = 0; i < bound; ++i)
            many += "host" + std::to_string(host) + ".invalid\tFALSE\t/\tFALSE\t0\tc" + std::to_string(i) +
                    "\tv\n";
    dir.write("many.cookie", many);
    EXPECT_EQ(Fetch("/set/0"), "set");
    uCurlTransfer::saveDueCookies();
    EXPECT_EQ(JarNames().size(), uCurlTransfer::kMostCookiesPerSite);
    EXPECT_EQ(JarNames("127.0.0.1").size(), 51u);
    const std::size_t share = (uCurlTransfer::kMostCookiesPerSite - 51) / hosts;
    for (std::size_t host = 0; host < hosts; ++host)
    {
        const std::size_t held = JarNames("host" + std::to_string(host) + ".invalid").size();
        EXPECT_TRUE(held == share || held == share + 1) << "host " << host << " holds " << held;
    }
    EXPECT_NE(Fetch("/sent").find("login=yes"), std::string::npos);

    // As many domains of one cookie each as the site's bound holds, all set
    // after the site's login: no domain holds more than the site's, and the
    // login stays.
    jar = dir.file("one-each.cookie");
    std::string oneEach = "127.0.0.1\tFALSE\t/\tFALSE\t0\tlogin\tyes\n";
    for (std::size_t host = 0; host < uCurlTransfer::kMostCookiesPerSite; ++host)
        oneEach += "host" + std::to_string(host) + ".invalid\tFALSE\t/\tFALSE\t0\tc\tv\n";
    dir.write("one-each.cookie", oneEach);
    EXPECT_NE(Fetch("/sent").find("login=yes"), std::string::npos);

    // The site's login beside as many records of deletions as the domain's
    // bound holds, all made after it, and one from long ago: the records make
    // room for new cookies before the login does, the newest stay, and the
    // one from long ago goes.
    jar = dir.file("deleted.cookie");
    std::string deleted = "# set 1700000000.000000000\n127.0.0.1\tFALSE\t/\tFALSE\t0\tlogin\tyes\n"
                          "# gone 1600000000.000000000 127.0.0.1\t/\tlong-ago\n";
    const long long recent = static_cast<long long>(std::time(nullptr)) - 3600;
    for (std::size_t i = 0; i < bound; ++i)
        deleted += "# gone " + std::to_string(recent + static_cast<long long>(i)) +
                   ".000000000 127.0.0.1\t/\td" + std::to_string(i) + "\n";
    dir.write("deleted.cookie", deleted);
    EXPECT_EQ(Fetch("/set/0"), "set");
    EXPECT_NE(Fetch("/sent").find("login=yes"), std::string::npos);
    uCurlTransfer::saveDueCookies();
    EXPECT_EQ(JarNames("127.0.0.1").size(), 51u);
    const std::string text = ReadFileBytes(jar);
    std::size_t records = 0;
    for (std::size_t at = text.find("# gone "); at != std::string::npos; at = text.find("# gone ", at + 1))
        ++records;
    EXPECT_EQ(records, bound - 51) << text;
    EXPECT_TRUE(JarHolds("\td" + std::to_string(bound - 1) + "\n")) << text;
    EXPECT_FALSE(JarHolds("\tlong-ago\n")) << text;
}

// Two copies of the program on one folder. The one holding the folder's lock
// has read the file when the other closes and writes without the lock: the
// holder's rename then merges that write instead of undoing it.
TEST_F(CookieStoreTest, AWriteWithoutTheLockIsNeverUndoneByTheHolder)
{
    ServeFiftyCookies();
    const std::string go = dir.file("go");
    auto holder = Probe({"pause:" + go, "fetch:" + server.url("/set/1"), "fetch:" + server.url("/set/2"), "close"});
    holder->waitForOutput("mid-save", 30000);
    ASSERT_NE(holder->log().find("mid-save\n"), std::string::npos) << holder->log();
    EXPECT_EQ(Fetch("/set/0"), "set");
    EXPECT_TRUE(JarNames().empty()) << "the lock is held elsewhere";
    uCurlTransfer::saveDueCookies();
    EXPECT_EQ(JarNames().size(), 50u) << "the close wrote without the lock";

    dir.write("go", "");
    EXPECT_EQ(holder->waitForExit(30000), 0) << holder->log();
    for (const std::string batch : {"\tn0_0\t", "\tn0_49\t", "\tn1_0\t", "\tn2_49\t"})
        EXPECT_TRUE(JarHolds(batch)) << batch << " in\n" << ReadFileBytes(jar);
    EXPECT_EQ(JarNames().size(), 150u);
}

// The user's jar cannot be read (no permission): another copy, which cannot
// read it either, keeps its own cookies in memory and never replaces it; once
// it can be read, the two are merged.
TEST_F(CookieStoreTest, AJarThatCannotBeReadIsNeverReplaced)
{
    ServeFiftyCookies();
    std::string users;
    for (int i = 0; i < 200; ++i)
        users += "127.0.0.1\tFALSE\t/\tFALSE\t0\tuser" + std::to_string(i) + "\tv\n";
    dir.write("site.cookie", users);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(jar.c_str(), 0), 0);
    server.route("/sent",
                 [](const HttpRequest& request)
                 { return TextResponse(200, request.header("Cookie").find("user") != std::string::npos ? "v" : "-"); });
    const std::string go = dir.file("go");
    auto other = Probe({"nobody", "fetch:" + server.url("/set/0"), "wait:" + go, "fetch:" + server.url("/sent"),
                        "close"});
    ASSERT_EQ(other->waitForOutput("fetched ", 30000), "set") << other->log();
    EXPECT_EQ(ReadFileBytes(jar), users);

    ASSERT_EQ(::chmod(jar.c_str(), 0644), 0);
    dir.write("go", "");
    EXPECT_EQ(other->waitForExit(30000), 0) << other->log();
    EXPECT_NE(other->log().find("fetched v\n"), std::string::npos) << "the user's cookies came in\n"
                                                                    << other->log();
    EXPECT_EQ(JarNames().size(), 250u) << ReadFileBytes(jar);
}

// Lines no site could have set (a NUL byte, as a power cut leaves in a file
// being written; a cookie longer than libcurl takes from a site) are no
// cookies, and one written otherwise than libcurl lists it (a dot before a
// domain not tail-matched) is the cookie libcurl takes it for: the site's
// value stands over it, and the file keeps the others where libcurl reads them.
TEST_F(CookieStoreTest, OddLinesOfAFileNeverStandInTheSitesWay)
{
    server.serve("/set", TextResponse(200, "set").header("Set-Cookie", "mine=1; Path=/"));
    server.route("/sent",
                 [](const HttpRequest& request) { return TextResponse(200, request.header("Cookie")); });
    const std::string other = "other.invalid\tFALSE\t/\tFALSE\t0\tother\tv\n";
    const std::string rows[] = {std::string("\0", 1) + "127.0.0.1\tFALSE\t/\tFALSE\t0\tnul\tv\n",
                                "127.0.0.1\tFALSE\t/\tFALSE\t0\tlong\t" + std::string(100000, 'x') + "\n",
                                ".127.0.0.1\tFALSE\t/\tFALSE\t0\tmine\told\n"};
    for (const std::string& row : rows)
    {
        SCOPED_TRACE(&row - rows);
        jar = dir.write(std::to_string(&row - rows) + ".cookie", row + other);
        EXPECT_EQ(Fetch("/set"), "set");
        uCurlTransfer::saveDueCookies();
        EXPECT_EQ(Fetch("/sent"), "mine=1");
        EXPECT_TRUE(JarHolds(other)) << ReadFileBytes(jar);
        EXPECT_EQ(Probe({"libcurl:" + server.url("/sent")})->waitForOutput("fetched ", 30000), "mine=1");
    }
    // Written in another form (flags in lower case) while this copy holds the
    // cookie: the file's value comes in as set when it was written, and
    // another copy's value set after that stands over it. A file others may
    // read becomes the user's own once read, though nothing is written.
    jar = dir.write("form.cookie", "127.0.0.1\tFALSE\t/\tFALSE\t0\tmine\tone\n");
    ASSERT_EQ(::chmod(jar.c_str(), 0644), 0);
    EXPECT_EQ(Fetch("/sent"), "mine=one");
    struct stat info = {};
    EXPECT_TRUE(::stat(jar.c_str(), &info) == 0 && (info.st_mode & 0777) == 0600) << std::oct << info.st_mode;
    dir.write("form.cookie", "127.0.0.1\tfalse\t/\tfalse\t0\tmine\tfile\n");
    EXPECT_EQ(Fetch("/sent"), "mine=file");
    EXPECT_EQ(Probe({"fetch:" + server.url("/set"), "close"})->waitForExit(30000), 0);
    EXPECT_EQ(Fetch("/sent"), "mine=1") << ReadFileBytes(jar);
}

// The file's time set this far behind the time of the token it holds; or a
// copy of it with that time put in its place.
void LagBehindToken(const std::string& path, long long ms, bool copied)
{
    const std::string text = ReadFileBytes(path);
    const std::size_t at = text.rfind("# set ", text.find("\ttoken\t"));
    ASSERT_NE(at, std::string::npos) << text;
    const long long stamp =
        std::stoll(text.substr(at + 6)) * 1000 + std::stoll(text.substr(text.find('.', at) + 1, 3));
    const std::string file = copied ? path + ".copy" : path;
    if (copied)
        std::ofstream(file) << text;
    const timespec times[2] = {{0, UTIME_OMIT}, {(stamp - ms) / 1000, (stamp - ms) % 1000 * 1000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    ASSERT_TRUE(!copied || ::rename(file.c_str(), path.c_str()) == 0);
}

// The next save of this process that writes waits at this gate before its swap.
std::atomic<Gate*> g_heldSave{nullptr};
void HoldTheSave(const std::string&)
{
    if (Gate* gate = g_heldSave.exchange(nullptr))
        gate->wait();
}

// The next time this process takes in the file, the answer held at `answer`
// is let go and given a moment to come in (it may wait for the store).
struct MidMerge
{
    Gate* answer;
    std::future<std::string>* late;
};
std::atomic<MidMerge*> g_midMerge{nullptr};
void LetTheAnswerIn(const std::string&)
{
    if (MidMerge* mid = g_midMerge.exchange(nullptr))
    {
        mid->answer->release();
        mid->late->wait_for(std::chrono::seconds(1));
    }
}

// Two copies of the program on one folder, each holding a value of the token
// the site rotates at every answer: whichever copy writes last, the file and
// the copies end with the value the site sent last. Each row is a turn of
// the other copy; the values are the site's count of answers.
TEST_F(CookieStoreTest, TheValueTheSiteSentLastWinsWhicheverCopyWritesLast)
{
    auto answers = std::make_shared<std::atomic<int>>(0);
    server.route("/rotate",
                 [answers](const HttpRequest&)
                 {
                     return TextResponse(200, "rotated")
                         .header("Set-Cookie",
                                 "token=" + std::to_string(++*answers) + "; Path=/; Max-Age=86400");
                 });
    server.route("/logout", [](const HttpRequest&)
                 { return TextResponse(200, "out").header("Set-Cookie", "token=gone; Path=/; Max-Age=0"); });
    server.route("/sent",
                 [](const HttpRequest& request) { return TextResponse(200, request.cookie("token")); });
    const std::string rotate = "fetch:" + server.url("/rotate");
    const std::string sent = "fetch:" + server.url("/sent");
    auto last = [&answers] { return std::to_string(answers->load()); };

    // The other copy's save is held just before its swap while this one
    // takes a newer token and writes it at its close: the swap finds that
    // write and keeps its token.
    auto other = Probe({rotate, "pause:" + dir.file("go"), rotate, sent});
    other->waitForOutput("mid-save", 30000);
    ASSERT_NE(other->log().find("mid-save\n"), std::string::npos) << other->log();
    EXPECT_EQ(Fetch("/rotate"), "rotated");
    const std::string newest = last();
    uCurlTransfer::saveDueCookies();
    EXPECT_TRUE(JarHolds("\ttoken\t" + newest + "\n")) << "written without the lock\n" << ReadFileBytes(jar);
    dir.write("go", "");
    EXPECT_EQ(other->waitForExit(30000), 0) << other->log();
    EXPECT_NE(other->log().find("fetched " + newest + "\n"), std::string::npos) << other->log();
    EXPECT_TRUE(JarHolds("\ttoken\t" + newest + "\n")) << ReadFileBytes(jar);

    // This copy's own save is held before its swap while an answer sets it a
    // token, and the other copy then takes a newer one and writes it: the
    // token this copy took meanwhile is the older, though listed after; also
    // when the file's time lags the newer token's (a coarse or distant clock),
    // or the file is a copy that kept an older time.
    const struct
    {
        const char* name;
        long long lag; // ms
        bool copied = false;
    } lags[] = {{"as written", 0},
                {"half a second behind", 500},
                {"a day behind", 86400000},
                {"copied", 86400000, true}};
    for (const auto& lag : lags)
    {
        SCOPED_TRACE(lag.name);
        auto held = std::make_shared<Gate>();
        auto answer = std::make_shared<Gate>();
        server.route("/late",
                     [answer, answers](const HttpRequest&)
                     {
                         answer->wait();
                         return TextResponse(200, "late")
                             .header("Set-Cookie",
                                     "token=" + std::to_string(++*answers) + "; Path=/; Max-Age=86400");
                     });
        std::thread late([this] { EXPECT_EQ(Fetch("/late"), "late"); });
        struct LetGo
        {
            Gate& held;
            Gate& answer;
            std::thread& late;
            ~LetGo()
            {
                answer.release();
                held.release();
                if (late.joinable())
                    late.join();
                uCurlTransfer::setCookieSaveHook(nullptr);
            }
        } letGo{*held, *answer, late};
        ASSERT_TRUE(answer->waitUntilReached());
        g_heldSave = held.get();
        uCurlTransfer::setCookieSaveHook(&HoldTheSave);
        EXPECT_EQ(Fetch("/rotate"), "rotated");
        ASSERT_TRUE(held->waitUntilReached()) << "a save is held";
        answer->release();
        late.join();
        EXPECT_EQ(Probe({rotate, "close"})->waitForExit(30000), 0);
        const std::string newer = last();
        if (lag.lag != 0)
            LagBehindToken(jar, lag.lag, lag.copied);
        held->release();
        uCurlTransfer::saveDueCookies();
        EXPECT_EQ(Fetch("/sent"), newer);
        EXPECT_TRUE(JarHolds("\ttoken\t" + newer + "\n")) << ReadFileBytes(jar);
    }

    // A third program holds the lock: each copy's change waits, and each
    // writes at its close without it.
    FolderHolder holder(dir.path());
    const struct
    {
        const char* name;
        const char* otherStep;
        bool otherFirst; // the other copy's answer comes before this one's
        bool otherWritesFirst;
        // The other copy takes a token of its own before its step, and makes a
        // request after it (its store then no longer lists what it deleted).
        bool otherSetsFirst = false;
    } rows[] = {
        {"the other copy's logout after this copy's token, written first", "/logout", false, true},
        // The file holds no token: the other copy's went before it was written.
        {"the other copy's own token and logout after this copy's token, written first", "/logout", false,
         true, true},
        {"the other copy's newer token, written first", "/rotate", false, true},
        {"the other copy's newer token, this copy's older written after it", "/rotate", false, false},
        {"this copy's newer token after the other copy logged out", "/logout", true, false},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const std::string go = "go-" + std::to_string(&row - rows);
        if (!row.otherFirst)
        {
            EXPECT_EQ(Fetch("/rotate"), "rotated");
        }
        std::vector<std::string> steps = {"fetch:" + server.url(row.otherStep), "wait:" + dir.file(go),
                                          "close", sent};
        if (row.otherSetsFirst)
        {
            steps.insert(steps.begin() + 1, sent);
            steps.insert(steps.begin(), rotate);
        }
        other = Probe(steps);
        ASSERT_NE(other->waitForOutput("fetched ", 30000), "") << other->log();
        if (row.otherFirst)
        {
            EXPECT_EQ(Fetch("/rotate"), "rotated");
        }
        // The site's last word on the token may be that it is gone.
        const bool loggedOut = std::string(row.otherStep) == "/logout" && !row.otherFirst;
        const std::string expected = loggedOut ? "" : last();
        if (row.otherWritesFirst)
        {
            dir.write(go, "");
            other->waitForOutput("closed", 30000);
        }
        uCurlTransfer::saveDueCookies();
        dir.write(go, "");
        EXPECT_EQ(other->waitForExit(30000), 0) << other->log();
        EXPECT_NE(other->log().find("fetched " + expected + "\n"), std::string::npos)
            << "the other copy sends " << expected << "\n"
            << other->log();
        EXPECT_EQ(Fetch("/sent"), expected) << "this copy sends it";
        EXPECT_TRUE(loggedOut ? !JarHolds("\ttoken\t") : JarHolds("\ttoken\t" + expected + "\n"))
            << ReadFileBytes(jar);
        if (loggedOut)
        {
            auto reader = Probe({"libcurl:" + server.url("/sent")});
            EXPECT_EQ(reader->waitForExit(30000), 0);
            EXPECT_NE(reader->log().find("fetched \n"), std::string::npos) << "libcurl sends none\n"
                                                                           << reader->log();
        }
    }
    // libcurl itself reads the file as written.
    EXPECT_EQ(Probe({"libcurl:" + server.url("/sent")})->waitForOutput("fetched ", 30000), last());

    // This copy's request is on its way, its answer to give it a newer token,
    // while the other copy writes: a token of its own, taken in here before a
    // transfer or in a save as the answer comes; or, its clock ahead since
    // set back, a deletion or a token dated ahead (its moment passed before a
    // save can take it in); or a deletion before the answer sends the token
    // as the store holds it. The answer's token stays, and the record's date
    // goes. Or the answer's token comes before the other copy's newer one, the
    // rest of its headers after: the newer stays.
    holder.release();
    uCurlTransfer::setCookieMergeHook(&LetTheAnswerIn);
    uCurlTransfer::setCookieSaveHook(&HoldTheSave);
    const long long clock = static_cast<long long>(std::time(nullptr));
    const struct
    {
        const char* name;
        bool inSave;
        long long ahead; // of the other copy's record; 0: the other copy runs
        bool gone;
        bool again = false;  // the answer sends "kept", which the store holds
        bool older = false;  // the answer's headers are held after its token
        bool passed = false; // a third program holds the lock until the record's moment
        bool behind = false; // this copy's clock an hour behind the other's
    } takeIns[] = {
        {"before a transfer", false, 0, false},
        {"in a save", true, 0, false},
        {"a deletion a minute ahead", false, 60, true},
        {"a token a minute ahead", false, 60, false},
        {"a deletion a day ahead", false, 86400, true},
        {"a token a day ahead", false, 86400, false},
        {"a deletion before the same token again", false, 0, true, true},
        {"a newer token while the answer's headers are held", false, 0, false, false, true},
        {"a deletion seconds ahead", false, 2, true, false, false, true},
        {"a token of a copy whose clock is an hour ahead", false, 0, false, false, false, false, true}};
    for (const auto& row : takeIns)
    {
        SCOPED_TRACE(row.name);
        auto gate = std::make_shared<Gate>();
        const std::string kept = "token=kept; Path=/";
        server.route("/late",
                     [gate, answers, again = row.again, older = row.older, kept](const HttpRequest&)
                     {
                         if (!older)
                             gate->wait();
                         HttpResponse response =
                             TextResponse(200, "late")
                                 .header("Set-Cookie", again ? kept
                                                             : "token=" + std::to_string(++*answers) +
                                                                   "; Path=/; Max-Age=86400");
                         if (older)
                             response.holdInHead = [gate] { gate->wait(); };
                         return response;
                     });
        if (row.again)
        {
            server.serve("/keep", TextResponse(200, "kept").header("Set-Cookie", kept));
            EXPECT_EQ(Fetch("/keep"), "kept");
        }
        auto late = std::async(std::launch::async, [this] { return Fetch("/late"); });
        std::unique_ptr<Gate, void (*)(Gate*)> letGoLate(gate.get(), [](Gate* held) { held->release(); });
        std::shared_ptr<void> clockBack(nullptr, [](void*) { uCurlTransfer::setCookieClockOffset(0); });
        ASSERT_TRUE(gate->waitUntilReached());
        const long long moment = (row.again || row.passed ? std::time(nullptr) : clock) + row.ahead;
        const std::string at = std::to_string(moment) + ".000000000";
        std::optional<FolderHolder> third;
        if (row.passed)
            third.emplace(dir.path());
        MidMerge mid{gate.get(), &late};
        auto save = std::make_shared<Gate>();
        std::unique_ptr<Gate, void (*)(Gate*)> letGoSave(save.get(), [](Gate* held) { held->release(); });
        if (row.ahead != 0 || row.again)
        {
            dir.write("site.cookie", row.gone
                                         ? "# gone " + at + " 127.0.0.1\t/\ttoken\n"
                                         : "# set " + at + "\n127.0.0.1\tFALSE\t/\tFALSE\t0\ttoken\tahead\n");
            gate->release();
        }
        else if (row.behind)
        {
            uCurlTransfer::setCookieClockOffset(-3600LL * 1000000000);
            EXPECT_EQ(Probe({rotate, "close"})->waitForExit(30000), 0);
            gate->release();
        }
        else
        {
            // In a save: it finds the other copy's write at its swap, and takes it in.
            g_heldSave = row.inSave ? save.get() : nullptr;
            if (row.inSave)
            {
                EXPECT_EQ(Fetch("/rotate"), "rotated");
            }
            ASSERT_TRUE(!row.inSave || save->waitUntilReached());
            EXPECT_EQ(Probe({rotate, "close"})->waitForExit(30000), 0);
            g_midMerge = &mid;
            save->release();
            if (!row.inSave)
                Fetch("/sent");
        }
        EXPECT_EQ(late.get(), "late");
        while (row.passed && std::time(nullptr) <= moment)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        third.reset();
        uCurlTransfer::saveDueCookies();
        g_midMerge = nullptr;
        const std::string newest = row.again ? "kept" : last();
        EXPECT_EQ(Fetch("/sent"), newest) << "this copy's newest";
        uCurlTransfer::saveDueCookies();
        EXPECT_TRUE(JarHolds("\ttoken\t" + newest + "\n")) << ReadFileBytes(jar);
        EXPECT_EQ(row.ahead != 0 || row.again ? ReadFileBytes(jar).find(at) : std::string::npos,
                  std::string::npos);
    }
    uCurlTransfer::setCookieMergeHook(nullptr);
}

} // namespace
