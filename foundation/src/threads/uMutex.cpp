#include "foundation/uMutex.h"

#include "threads/NamedLock.h"

#include <unistd.h>

namespace
{

uint32_t CurrentThreadId()
{
    return static_cast<uint32_t>(::gettid());
}

} // namespace

uMutex::uMutex() : uMutex("Win32-Mutex") {}

uMutex::uMutex(const char* name) : m_name(name ? name : "")
{
    m_lock = namedlock::Open(m_name.c_str());
    if (!m_lock)
    {
        m_error = kErrorCreate;
        return;
    }
    // Created owned by the creating thread, unless it exists and is held: then
    // it is only opened.
    uint32_t self = CurrentThreadId();
    if (namedlock::TryAcquire(*m_lock, self))
    {
        m_owner = self;
        m_state = kStateHeld;
    }
}

uMutex::~uMutex() = default;

int uMutex::wait(int64_t timeoutMs)
{
    m_error = kErrorNone;
    uint32_t self = CurrentThreadId();
    if (!m_lock)
    {
        m_error = kErrorWait;
        return kErrorWait;
    }
    if (m_owner.load() == self && namedlock::IsOwner(*m_lock, self))
        return kErrorNone;
    if (timeoutMs >= 0)
        m_state = kStateWaiting;
    if (namedlock::Acquire(*m_lock, self, timeoutMs) != namedlock::Result::kAcquired)
    {
        // A failed or timed-out wait never makes the caller an owner.
        m_error = kErrorWait;
        m_state = kStateInitial;
        return kErrorWait;
    }
    m_owner = self;
    m_state = kStateHeld;
    return kErrorNone;
}

int uMutex::lock()
{
    return wait(-1);
}

int uMutex::lockFor(uint32_t milliseconds, uint32_t nanoseconds)
{
    return wait(static_cast<int64_t>(milliseconds) + nanoseconds / 1000000u);
}

bool uMutex::tryLock()
{
    uint32_t self = CurrentThreadId();
    if (!m_lock || !namedlock::TryAcquire(*m_lock, self))
    {
        m_error = kErrorWait;
        return false;
    }
    m_owner = self;
    m_state = kStateHeld;
    m_error = kErrorNone;
    return true;
}

int uMutex::unlock()
{
    m_error = kErrorNone;
    uint32_t self = CurrentThreadId();
    if (!m_lock || !namedlock::IsOwner(*m_lock, self))
        return kErrorNone;
    if (!namedlock::Release(*m_lock, self))
    {
        m_error = kErrorRelease;
        m_state = kStateInitial;
    }
    else
        m_state = kStateReleased;
    m_owner = 0;
    return m_error.load();
}
