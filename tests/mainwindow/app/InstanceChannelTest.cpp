#include "mainwindow/InstanceChannel.h"

#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{
// A GUID of this test process only, so that no running program is disturbed.
std::string TestGuid()
{
    return "{test-" + std::to_string(::getpid()) + "-" +
           testing::UnitTest::GetInstance()->current_test_info()->name() + "}";
}

class Received
{
public:
    CInstanceChannel::Receiver Receiver()
    {
        return [this](std::string path)
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_paths.push_back(std::move(path));
            m_arrived.notify_all();
        };
    }
    std::vector<std::string> WaitFor(std::size_t count)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_arrived.wait_for(lock, std::chrono::seconds(10), [&] { return m_paths.size() >= count; });
        return m_paths;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<std::string> m_paths;
};
} // namespace

TEST(InstanceChannel, LaterStartsHandTheirFullPathToTheFirst)
{
    const std::string guid = TestGuid();
    Received received;
    CInstanceChannel first;
    ASSERT_EQ(first.Start(guid, "", received.Receiver()), CInstanceChannel::Role::kFirst);
    ASSERT_TRUE(first.IsListening());

    // Longer than the old 256-character limit, with spaces and non-ASCII text.
    std::string longPath = "/home/user/Podcasts/Ä folder with spaces/";
    while (longPath.size() < 1000)
        longPath += "Überlänge ";
    longPath += "feed.RSS";

    CInstanceChannel second;
    EXPECT_EQ(second.Start(guid, "", nullptr), CInstanceChannel::Role::kSecond);
    EXPECT_FALSE(second.IsListening());
    CInstanceChannel third;
    EXPECT_EQ(third.Start(guid, longPath, nullptr), CInstanceChannel::Role::kSecond);

    std::vector<std::string> paths = received.WaitFor(2);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], "") << "a start without a file asks the first to come forward";
    EXPECT_EQ(paths[1], longPath);
}

TEST(InstanceChannel, TheNameIsFreeAgainOnceTheFirstStops)
{
    const std::string guid = TestGuid();
    Received received;
    {
        CInstanceChannel first;
        ASSERT_EQ(first.Start(guid, "", received.Receiver()), CInstanceChannel::Role::kFirst);
    }
    EXPECT_FALSE(CInstanceChannel::HandOver(guid, "/tmp/a.rss")) << "nobody listens any more";

    CInstanceChannel next;
    EXPECT_EQ(next.Start(guid, "", received.Receiver()), CInstanceChannel::Role::kFirst);
}

TEST(InstanceChannel, AnOversizedRecordIsRefusedAndTheListenerGoesOn)
{
    const std::string guid = TestGuid();
    Received received;
    CInstanceChannel first;
    ASSERT_EQ(first.Start(guid, "", received.Receiver()), CInstanceChannel::Role::kFirst);

    EXPECT_FALSE(CInstanceChannel::HandOver(guid, std::string(CInstanceChannel::kMaxRecord + 1, 'x')));
    EXPECT_TRUE(CInstanceChannel::HandOver(guid, "/tmp/after.opml"));
    EXPECT_EQ(received.WaitFor(1), std::vector<std::string>{"/tmp/after.opml"});
}

// A socket left by a crash, one whose holder never answers, and a runtime
// folder open to others: none of them keeps a start from being the first.
TEST(InstanceChannel, StaleOrSilentSocketsAreTakenOverAndOnlyPrivateFoldersServe)
{
    const std::string guid = TestGuid();
    const std::string path = CInstanceChannel::SocketPath(guid);
    ASSERT_FALSE(path.empty());
    auto holdPath = [&path](bool listen)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        if (listen)
            ::listen(fd, 8);
        return fd;
    };
    Received received;
    for (bool silentHolder : {false, true})
    {
        const int held = holdPath(silentHolder);
        if (!silentHolder)
            ::close(held); // the file stays, nobody listens
        CInstanceChannel first;
        ASSERT_EQ(first.Start(guid, "/tmp/a.rss", received.Receiver()), CInstanceChannel::Role::kFirst);
        EXPECT_TRUE(CInstanceChannel::HandOver(guid, "/tmp/b.rss")) << "the new first is heard";
        if (silentHolder)
            ::close(held);
    }
    EXPECT_EQ(received.WaitFor(2), (std::vector<std::string>{"/tmp/b.rss", "/tmp/b.rss"}));
    EXPECT_FALSE(std::filesystem::exists(path)) << "a stopped first removes its socket";

    testsupport::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
    EXPECT_NE(CInstanceChannel::SocketFolder(), dir.path()) << "a folder others may enter is not used";
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0700));
    EXPECT_EQ(CInstanceChannel::SocketFolder(), dir.path());
    // Nor one that others may rename away and replace with their own.
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
    std::filesystem::create_directory(dir.file("run"));
    std::filesystem::permissions(dir.file("run"), std::filesystem::perms(0700));
    testsupport::ScopedEnv inOpenFolder("XDG_RUNTIME_DIR", dir.file("run"));
    EXPECT_NE(CInstanceChannel::SocketFolder(), dir.file("run"));
}
