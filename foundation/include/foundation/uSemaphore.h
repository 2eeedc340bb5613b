#pragma once

#include "foundation/uString.h"

#include <atomic>
#include <semaphore.h>

// A counting semaphore, safe to use from any thread. After a failure it
// refuses every later wait and post.
class uSemaphore
{
public:
    static constexpr int kMaximumCount = 0x7fffffff;
    static constexpr int kErrorNone = 0;
    static constexpr int kErrorCreate = 1;
    static constexpr int kErrorPost = 4;

    // Named after its own address.
    explicit uSemaphore(int initialCount);
    uSemaphore(const char* name, int initialCount);
    ~uSemaphore();
    uSemaphore(const uSemaphore&) = delete;
    uSemaphore& operator=(const uSemaphore&) = delete;

    // Blocks until a unit is free and takes it.
    bool wait();
    // Takes a unit only when one is free at once.
    bool tryWait();
    // Gives one unit back. countAfter receives the count as this post left it,
    // so that the last job out can tell that no unit is taken any more.
    bool post(int* countAfter = nullptr);
    bool isValid() const { return m_error.load() == kErrorNone; }

    // The count as waits and posts through this object changed it.
    int getCount() const { return m_count.load(); }
    int getInitialCount() const { return m_initialCount; }
    int getError() const { return m_error.load(); }
    const uString& getName() const { return m_name; }

private:
    void create(int initialCount);

    sem_t m_semaphore;
    std::atomic<int> m_count{0};
    int m_initialCount = 0;
    uString m_name;
    std::atomic<int> m_error{kErrorNone};
};
