#pragma once

#include <condition_variable>
#include <mutex>

// Bounds how many transfers run at once. Unlike a bare semaphore it can be
// shut down: a starter blocked in Acquire then wakes and gives up, so the
// manager can be destroyed while transfers are pending.
class CTransferLimiter
{
public:
    explicit CTransferLimiter(int slots) : m_free(slots) {}
    CTransferLimiter(const CTransferLimiter&) = delete;
    CTransferLimiter& operator=(const CTransferLimiter&) = delete;

    // Blocks until a slot is free and takes it; false once shut down.
    bool Acquire()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_shutDown || m_free > 0; });
        if (m_shutDown)
            return false;
        --m_free;
        return true;
    }

    void Release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_free;
        }
        m_changed.notify_all();
    }

    void ShutDown()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_shutDown = true;
        }
        m_changed.notify_all();
    }

    int FreeSlots() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_free;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_free;
    bool m_shutDown = false;
};
