#include "foundation/uMessage.h"

#include "support/MessageQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using testsupport::MessageQueue;

TEST(MessageTest, TextPostedFromWorkerSurvivesTheSendersString)
{
    auto queue = std::make_shared<MessageQueue>();
    uMessageWindow window(queue);
    ASSERT_NE(window.getHandle(), 0u);

    std::thread worker(
        [handle = window.getHandle()]
        {
            uString status("Updating Example Feed");
            EXPECT_TRUE(PostMessage(handle, WM_APP_STATUSTEXT, 0, status));
            // Grow the sender's buffer well past its size so a kept pointer would dangle.
            status.assign(std::string(4096, 'x').c_str());
            uString* list = new uString("user1.mdb");
            EXPECT_TRUE(PostMessage(handle, WM_USER_FEEDUPDATED, 7, *list));
            list->assign("overwritten");
            delete list;
            EXPECT_TRUE(PostMessage(handle, WM_APP_UPDATEDONE));
            EXPECT_TRUE(PostMessage(handle, WM_APP_NOTIFYNEWITEMS, 0, uString()));
        });
    worker.join();

    ASSERT_TRUE(queue->waitFor(4));
    std::vector<uWindowMessage> got = queue->take();
    ASSERT_EQ(got.size(), 4u);
    ASSERT_TRUE(got[0].text);
    EXPECT_STREQ(got[0].text->c_str(), "Updating Example Feed");
    EXPECT_EQ(got[1].wParam, 7u);
    ASSERT_TRUE(got[1].text);
    EXPECT_STREQ(got[1].text->c_str(), "user1.mdb");
    EXPECT_FALSE(got[2].text) << "a message without data must not look like one with an empty text";
    ASSERT_TRUE(got[3].text);
    EXPECT_TRUE(got[3].text->isEmpty());
}

TEST(MessageTest, ClosedOrUnknownWindowsRefuseMessages)
{
    auto first = std::make_shared<MessageQueue>();
    auto second = std::make_shared<MessageQueue>();
    EXPECT_FALSE(PostMessage(0, WM_APP_UPDATEDONE));

    uWindowHandle stale = 0;
    {
        uMessageWindow window(first);
        stale = window.getHandle();
        EXPECT_TRUE(PostMessage(stale, WM_APP_UPDATEDONE));
    }
    EXPECT_FALSE(PostMessage(stale, WM_APP_STATUSTEXT, 0, uString("late")));

    // A window opened later never receives what was meant for the closed one.
    uMessageWindow later(second);
    EXPECT_NE(later.getHandle(), stale);
    EXPECT_FALSE(PostMessage(stale, WM_APP_UPDATEDONE));
    EXPECT_EQ(first->size(), 1u);
    EXPECT_EQ(second->size(), 0u);
}

// A transport that holds its first delivery until released, to show that
// closing the window waits for a delivery already under way.
class GatedTransport : public uMessageTransport
{
public:
    void deliver(uWindowMessage) override
    {
        entered = true;
        while (!released)
            std::this_thread::yield();
        finished = true;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    std::atomic<bool> finished{false};
};

TEST(MessageTest, CloseWaitsForRunningDelivery)
{
    auto transport = std::make_shared<GatedTransport>();
    auto window = std::make_unique<uMessageWindow>(transport);
    std::thread poster([handle = window->getHandle()] { PostMessage(handle, WM_APP_UPDATEDONE); });
    while (!transport->entered)
        std::this_thread::yield();

    std::atomic<bool> finishedWhenClosed{false};
    std::thread closer(
        [&]
        {
            window->close();
            finishedWhenClosed = transport->finished.load();
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let close() start waiting
    transport->released = true;
    closer.join();
    poster.join();
    EXPECT_TRUE(finishedWhenClosed);
}

TEST(MessageTest, ConcurrentPostersKeepTheirOwnOrder)
{
    auto queue = std::make_shared<MessageQueue>();
    uMessageWindow window(queue);
    constexpr int kThreads = 8;
    constexpr int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [t, handle = window.getHandle()]
            {
                for (int i = 0; i < kEach; ++i)
                {
                    uString text;
                    text.format("%d:%d", t, i);
                    PostMessage(handle, WM_APP_STATUSTEXT, static_cast<std::uintptr_t>(t), text);
                }
            });
    for (auto& thread : threads)
        thread.join();

    std::vector<uWindowMessage> got = queue->take();
    ASSERT_EQ(got.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const auto& message : got)
    {
        int t = static_cast<int>(message.wParam);
        uString expected;
        expected.format("%d:%d", t, next[t]++);
        EXPECT_STREQ(message.text->c_str(), expected.c_str());
    }
}

} // namespace
