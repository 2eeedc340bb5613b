#pragma once

// Background work: a runnable on its own thread. Jobs are bounded by a
// counting semaphore that each job posts when its run ends. Threads are never
// killed: long work checks a stop flag of its own.

#include "foundation/uMutex.h"
#include "foundation/uSemaphore.h"
#include "foundation/uString.h"

#include <cstdint>
#include <memory>
#include <pthread.h>

class uRunnable
{
public:
    uRunnable() = default;
    virtual ~uRunnable() = default;
    virtual void run() = 0;
};

namespace threadutil
{
struct ThreadControl;
}

// Runs a runnable (or, without one, its own empty run) on a new thread.
// Driven by the thread that created it, except that a runnable may delete its
// uThread and itself at the end of its run.
class uThread : public uRunnable
{
public:
    // Priority levels, from time-critical (0) to idle (6).
    static constexpr int kPriorityNormal = 3;
    static constexpr int kPriorityLowest = 6;

    uThread();
    explicit uThread(uRunnable* target, void* argument = nullptr);
    // A detached thread runs on; a joinable one is waited for. Never blocks
    // when run on the thread itself.
    ~uThread() override;
    uThread(const uThread&) = delete;
    uThread& operator=(const uThread&) = delete;

    void run() override {}

    // Starts the thread once. When it returns true, getThreadId() is valid,
    // also inside the runnable's run.
    bool start();
    bool isRunning() const;
    // False when never started or when the time-out runs out (the thread stays
    // tracked); true when the thread has ended.
    bool join();
    bool join(uint32_t milliseconds);
    bool join(uint32_t milliseconds, int unused);

    // Asks the thread to stop and lets go of it: the thread cannot be killed
    // safely (it could leave locks held and data half-written), so its run
    // sees isStopRequested() and ends by itself; the runnable must outlive it.
    // Afterwards the object tracks no thread. False when it tracked none.
    bool terminate();
    // True on a thread whose uThread was told to terminate.
    static bool isStopRequested();

    // False for the current level, a level outside 0..6, or a thread that is not running;
    // also false without the right to raise priority, for a level above normal and for
    // any step back up after a lowering.
    bool setPriority(int level);
    int getPriority() const { return m_priorityLevel; }
    bool isDetached() const { return m_detached; }
    bool isJoinable() const { return !m_detached; }
    void setDetached(bool detached) { m_detached = detached; }

    void setName(const char* name);
    const uString& getName() const { return m_name; }
    uint32_t getThreadId() const { return m_threadId; }
    void* getArgument() const { return m_argument; }
    // The name, or "Thread 0x" and the object's address, then "(thread id: N)".
    void describe(uString& text) const;
    // The same as a heap C string (free with free()).
    char* toString() const;

private:
    bool waitForEnd(bool bounded, uint32_t milliseconds);
    bool isCurrentThread() const;

    uRunnable* m_target = nullptr;
    void* m_argument = nullptr;
    uint32_t m_threadId = 0;
    uString m_name;
    int m_priorityLevel = kPriorityNormal;
    bool m_detached = true;
    bool m_hasHandle = false;
    bool m_reaped = false;
    pthread_t m_handle{};
    std::shared_ptr<threadutil::ThreadControl> m_control;
};

// True while the thread with this id (of any process) exists and has not ended.
bool IsThreadRunning(uint32_t threadId);
// A descriptor that stays tied to the thread with this id (its /proc folder),
// -1 when there is none; close it with CloseHandleIfSet.
int OpenThreadById(uint32_t threadId);

bool SleepMs(uint32_t milliseconds);
void YieldThread();

// Stands where COM was initialised; there is nothing to initialise here, and
// the guard keeps the owners' shape.
class uComInit
{
public:
    uComInit() = default;
    virtual ~uComInit() = default;
};
