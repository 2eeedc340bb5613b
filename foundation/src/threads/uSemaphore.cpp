#include "foundation/uSemaphore.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

uSemaphore::uSemaphore(int initialCount)
{
    char name[32];
    std::snprintf(name, sizeof name, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
    m_name = name;
    create(initialCount);
}

uSemaphore::uSemaphore(const char* name, int initialCount) : m_name(name)
{
    create(initialCount);
}

void uSemaphore::create(int initialCount)
{
    m_count = initialCount;
    m_initialCount = initialCount;
    if (initialCount < 0 || ::sem_init(&m_semaphore, 0, static_cast<unsigned>(initialCount)) != 0)
        m_error = kErrorCreate;
}

uSemaphore::~uSemaphore()
{
    if (m_error.load() != kErrorCreate)
        ::sem_destroy(&m_semaphore);
}

bool uSemaphore::wait()
{
    if (!isValid())
        return false;
    int result;
    do
        result = ::sem_wait(&m_semaphore);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    m_count.fetch_sub(1);
    return true;
}

bool uSemaphore::tryWait()
{
    if (!isValid())
        return false;
    int result;
    do
        result = ::sem_trywait(&m_semaphore);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    m_count.fetch_sub(1);
    return true;
}

bool uSemaphore::post(int* countAfter)
{
    if (!isValid())
        return false;
    // Counted before the unit is visible, so that a waiter woken by this post
    // can never make the mirror drop below what the semaphore holds.
    int before = m_count.fetch_add(1);
    if (before == kMaximumCount || ::sem_post(&m_semaphore) != 0)
    {
        m_count.fetch_sub(1);
        m_error = kErrorPost;
        return false;
    }
    if (countAfter)
        *countAfter = before + 1;
    return true;
}
