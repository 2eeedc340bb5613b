#include "foundation/uMutex.h"

#include <chrono>
#include <unistd.h>

namespace
{

uint32_t CurrentThreadId()
{
    return static_cast<uint32_t>(::gettid());
}

} // namespace

uMutex::uMutex() : uMutex("Win32-Mutex") {}

uMutex::uMutex(const char* name) : m_name(name)
{
    // Created owned by the creating thread.
    m_held = true;
    m_owner = CurrentThreadId();
    m_state = kStateHeld;
}

uMutex::~uMutex() = default;

int uMutex::lock()
{
    m_error = kErrorNone;
    uint32_t self = CurrentThreadId();
    std::unique_lock<std::mutex> guard(m_monitor);
    if (m_held && m_owner.load() == self)
        return kErrorNone;
    m_released.wait(guard, [&] { return !m_held; });
    m_held = true;
    m_owner = self;
    m_state = kStateHeld;
    return kErrorNone;
}

int uMutex::lockFor(uint32_t milliseconds, uint32_t nanoseconds)
{
    m_error = kErrorNone;
    uint32_t self = CurrentThreadId();
    std::unique_lock<std::mutex> guard(m_monitor);
    if (m_held && m_owner.load() == self)
        return kErrorNone;
    m_state = kStateWaiting;
    auto timeout = std::chrono::milliseconds(milliseconds + nanoseconds / 1000000u);
    if (!m_released.wait_for(guard, timeout, [&] { return !m_held; }))
    {
        // Running out of time must never make the caller an owner.
        m_error = kErrorWait;
        m_state = kStateInitial;
        return kErrorWait;
    }
    m_held = true;
    m_owner = self;
    m_state = kStateHeld;
    return kErrorNone;
}

bool uMutex::tryLock()
{
    uint32_t self = CurrentThreadId();
    std::lock_guard<std::mutex> guard(m_monitor);
    if (m_held)
    {
        if (m_owner.load() == self)
            return true;
        m_error = kErrorWait;
        return false;
    }
    m_held = true;
    m_owner = self;
    m_state = kStateHeld;
    m_error = kErrorNone;
    return true;
}

int uMutex::unlock()
{
    m_error = kErrorNone;
    std::lock_guard<std::mutex> guard(m_monitor);
    if (!m_held || m_owner.load() != CurrentThreadId())
        return kErrorNone;
    m_held = false;
    m_owner = 0;
    m_state = kStateReleased;
    m_released.notify_one();
    return kErrorNone;
}
