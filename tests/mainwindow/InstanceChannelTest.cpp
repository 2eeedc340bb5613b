#include "mainwindow/InstanceChannel.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
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
