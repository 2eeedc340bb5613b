#pragma once

#include "foundation/uString.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace namedlock
{
struct NamedLock;
}

// A mutex owned by a thread, shared by name: every uMutex of one name, in this
// process or another of this user, is the same mutex. The creating thread owns
// it from the start unless someone else holds it already. Locking again from
// the owning thread passes at once, and one unlock frees it. When a holding
// process dies the mutex is free again. An empty name gives a mutex of this
// object alone.
class uMutex
{
public:
    static constexpr int kStateInitial = -1;
    static constexpr int kStateReleased = 0;
    static constexpr int kStateHeld = 1;
    static constexpr int kStateWaiting = 2;

    static constexpr int kErrorNone = 0;
    static constexpr int kErrorCreate = -5001;
    static constexpr int kErrorWait = -5002;
    static constexpr int kErrorRelease = -5003;

    uMutex();
    explicit uMutex(const char* name);
    virtual ~uMutex();
    uMutex(const uMutex&) = delete;
    uMutex& operator=(const uMutex&) = delete;

    // Each returns the error code: 0, or kErrorWait when the wait failed or
    // lockFor ran out of time (the caller then does not own the mutex).
    int lock();
    int lockFor(uint32_t milliseconds, uint32_t nanoseconds);
    // Never blocks: true when the calling thread owns the mutex afterwards.
    bool tryLock();
    // Frees the mutex when the calling thread owns it; otherwise nothing.
    int unlock();

    int getState() const { return m_state.load(); }
    int getError() const { return m_error.load(); }
    // The owning thread's id, 0 when none.
    uint32_t getOwner() const { return m_owner.load(); }
    const uString& getName() const { return m_name; }

private:
    int wait(int64_t timeoutMs);

    uString m_name;
    std::atomic<int> m_state{kStateInitial};
    std::atomic<int> m_error{kErrorNone};
    std::atomic<uint32_t> m_owner{0};
    std::shared_ptr<namedlock::NamedLock> m_lock;
};
