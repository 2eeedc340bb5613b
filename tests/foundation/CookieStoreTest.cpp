// The cookie store that the transfers of a site share in one process, and its
// file: real libcurl against the in-process server on 127.0.0.1.
#include "foundation/uCurlTransfer.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/file.h>
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

} // namespace
