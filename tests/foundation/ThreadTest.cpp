#include "foundation/uProcess.h"
#include "foundation/uThread.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>

namespace
{

// A latch that tests use to hold a thread until they let it go; the bound only
// keeps a broken build from hanging.
class Gate
{
public:
    void open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool waitOpen()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

struct Job : uRunnable
{
    explicit Job(std::function<void()> body) : body(std::move(body)) {}
    void run() override { body(); }
    std::function<void()> body;
};

// Counts how many jobs run at once through a semaphore of three slots.
struct Limiter
{
    uSemaphore slots{3};
    std::atomic<int> running{0};
    std::atomic<int> highest{0};
    std::atomic<int> finished{0};
    std::mutex mutex;
    std::condition_variable threeRunning;
};

// The pattern of the program's background jobs: post the semaphore at the
// end of run, then delete the thread object and the job itself.
class LimitedJob : public uRunnable
{
public:
    LimitedJob(Limiter& limiter, bool waitForThree) : m_limiter(limiter), m_waitForThree(waitForThree) {}
    void run() override
    {
        int now = ++m_limiter.running;
        int seen = m_limiter.highest.load();
        while (now > seen && !m_limiter.highest.compare_exchange_weak(seen, now))
        {
        }
        {
            // The first three jobs meet, so that three at once is certain to be reached.
            std::unique_lock<std::mutex> lock(m_limiter.mutex);
            m_limiter.threeRunning.notify_all();
            if (m_waitForThree)
                m_limiter.threeRunning.wait_for(lock, std::chrono::seconds(60),
                                                [&] { return m_limiter.highest.load() >= 3; });
        }
        YieldThread();
        --m_limiter.running;
        ++m_limiter.finished;
        Limiter& limiter = m_limiter;
        delete m_thread;
        delete this;
        limiter.slots.post();
    }
    uThread* m_thread = nullptr;

private:
    Limiter& m_limiter;
    bool m_waitForThree;
};

} // namespace

TEST(ThreadTest, ASemaphoreBoundsHowManyJobsRunAtOnce)
{
    Limiter limiter;
    for (int i = 0; i < 32; ++i)
    {
        ASSERT_TRUE(limiter.slots.wait());
        auto* job = new LimitedJob(limiter, i < 3);
        job->m_thread = new uThread(job);
        ASSERT_TRUE(job->m_thread->start());
    }
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(limiter.slots.wait());
    EXPECT_EQ(limiter.finished.load(), 32);
    EXPECT_EQ(limiter.highest.load(), 3);
    EXPECT_EQ(limiter.slots.getCount(), 0);
    EXPECT_FALSE(limiter.slots.tryWait()) << "no unit is free";
}

TEST(ThreadTest, JobsThatDeleteTheirThreadAndThemselvesRunSafely)
{
    std::atomic<int> done{0};
    struct SelfDeleting : uRunnable
    {
        std::atomic<int>* done = nullptr;
        uThread* thread = nullptr;
        void run() override
        {
            std::atomic<int>* counter = done;
            delete thread;
            delete this;
            ++*counter;
        }
    };
    for (int i = 0; i < 200; ++i)
    {
        auto* job = new SelfDeleting;
        job->done = &done;
        job->thread = new uThread(job);
        ASSERT_TRUE(job->thread->start());
    }
    for (int waited = 0; done.load() < 200 && waited < 60000; waited += 10)
        SleepMs(10);
    EXPECT_EQ(done.load(), 200);
}

TEST(ThreadTest, JoinReportsATimeOutAndKeepsTrackingTheThread)
{
    uThread neverStarted;
    EXPECT_FALSE(neverStarted.join(10));

    Gate gate;
    Job job([&] { gate.waitOpen(); });
    uThread thread(&job);
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.join(50)) << "the thread is still held at the gate";
    EXPECT_TRUE(thread.isRunning());
    gate.open();
    EXPECT_TRUE(thread.join());
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.start()) << "a thread object starts once";
}

TEST(ThreadTest, AnExceptionEndsTheThreadNotTheProcess)
{
    Job throwing([] { throw std::runtime_error("escaped from a job"); });
    uThread thread(&throwing);
    ASSERT_TRUE(thread.start());
    EXPECT_TRUE(thread.join());
}

TEST(ThreadTest, AJoinableThreadIsWaitedForByItsDestructor)
{
    std::atomic<bool> finished{false};
    Job slow(
        [&]
        {
            SleepMs(20);
            finished = true;
        });
    {
        uThread thread(&slow);
        thread.setDetached(false);
        ASSERT_TRUE(thread.start());
    }
    EXPECT_TRUE(finished.load());
}

TEST(ThreadTest, TheLastPostSeesTheInitialCount)
{
    constexpr int kJobs = 16;
    uSemaphore slots(4);
    std::atomic<int> sawAllFree{0};
    Job poster(
        [&]
        {
            int after = -1;
            slots.post(&after);
            if (after == slots.getInitialCount())
                ++sawAllFree;
        });
    uThread* threads[kJobs];
    for (uThread*& thread : threads)
    {
        ASSERT_TRUE(slots.wait());
        thread = new uThread(&poster);
        ASSERT_TRUE(thread->start());
    }
    for (uThread* thread : threads)
    {
        EXPECT_TRUE(thread->join());
        delete thread;
    }
    EXPECT_GE(sawAllFree.load(), 1);
    EXPECT_EQ(slots.getCount(), 4);
}

TEST(ThreadTest, ASemaphoreRefusesEverythingAfterAFailedPost)
{
    uSemaphore full(uSemaphore::kMaximumCount);
    EXPECT_FALSE(full.post()) << "beyond the maximum count";
    EXPECT_EQ(full.getError(), uSemaphore::kErrorPost);
    EXPECT_FALSE(full.tryWait());
    EXPECT_FALSE(full.wait());

    uSemaphore broken(-1);
    EXPECT_EQ(broken.getError(), uSemaphore::kErrorCreate);
    EXPECT_FALSE(broken.post());
}

TEST(ThreadTest, AMutexBelongsToItsCreatorUntilItIsUnlocked)
{
    // The default name is the program's: keep its lock file away from other tests.
    testsupport::TempDir runtime;
    testsupport::ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime.path());
    uMutex mutex;
    EXPECT_EQ(mutex.getState(), uMutex::kStateHeld);
    EXPECT_EQ(mutex.lock(), 0) << "the owner passes at once";

    std::atomic<bool> unlocked{false};
    std::atomic<bool> sawUnlockedFirst{false};
    std::atomic<int> timedResult{0};
    std::atomic<bool> triedWhileHeld{true};
    Gate ready;
    Job contender(
        [&]
        {
            timedResult = mutex.lockFor(30, 0);
            // After the time-out this thread must not pass as owner.
            triedWhileHeld = mutex.tryLock();
            mutex.unlock();
            ready.open();
            mutex.lock();
            sawUnlockedFirst = unlocked.load();
            mutex.unlock();
        });
    uThread thread(&contender);
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(ready.waitOpen());
    EXPECT_NE(mutex.getOwner(), thread.getThreadId());
    // Locked twice by its owner, one unlock frees it.
    unlocked = true;
    EXPECT_EQ(mutex.unlock(), 0);
    EXPECT_TRUE(thread.join());
    EXPECT_EQ(timedResult.load(), uMutex::kErrorWait);
    EXPECT_FALSE(triedWhileHeld.load());
    EXPECT_TRUE(sawUnlockedFirst.load());
    EXPECT_TRUE(mutex.tryLock());
    EXPECT_EQ(mutex.unlock(), 0);
    EXPECT_EQ(mutex.getOwner(), 0u);
}

TEST(ThreadTest, TerminateAsksTheThreadToStopAndLetsGoOfIt)
{
    EXPECT_FALSE(IsThreadRunning(0));
    EXPECT_EQ(OpenThreadById(0), -1);

    Gate stopped;
    Job worker(
        [&]
        {
            while (!uThread::isStopRequested())
                SleepMs(1);
            stopped.open();
        });
    uThread thread(&worker);
    EXPECT_FALSE(thread.terminate()) << "not started";
    ASSERT_TRUE(thread.start());
    const uint32_t id = thread.getThreadId();
    EXPECT_TRUE(IsThreadRunning(id));
    int handle = OpenThreadById(id);
    EXPECT_GE(handle, 0);
    EXPECT_FALSE(uThread::isStopRequested()) << "only the terminated thread is asked";

    EXPECT_TRUE(thread.terminate());
    EXPECT_EQ(thread.getThreadId(), 0u);
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.join(10));
    EXPECT_FALSE(thread.terminate());
    ASSERT_TRUE(stopped.waitOpen()) << "the thread ended its run by itself";
    for (int waited = 0; IsThreadRunning(id) && waited < 60000; waited += 10)
        SleepMs(10);
    EXPECT_FALSE(IsThreadRunning(id));
    CloseHandleIfSet(handle);
    EXPECT_EQ(handle, -1);
}
