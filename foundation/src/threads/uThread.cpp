#include "foundation/uThread.h"

#include "threads/ProcFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace threadutil
{

// Shared by the uThread object and its thread, so that either may go first.
struct ThreadControl
{
    std::mutex mutex;
    std::condition_variable changed;
    uRunnable* runnable = nullptr;
    pid_t threadId = 0;
    bool published = false; // the thread has stored its id
    bool released = false;  // start() is done with the uThread object
    bool finished = false;  // run has returned
    std::atomic<bool> stopRequested{false};
};

} // namespace threadutil

namespace
{

using threadutil::ThreadControl;

// Nice values for priority levels 0 (time-critical) to 6 (idle).
constexpr int kNiceByLevel[] = {-15, -10, -5, 0, 5, 10, 19};

// The control block of the uThread running on this thread, if any.
thread_local ThreadControl* t_currentControl = nullptr;

void* ThreadEntry(void* parameter)
{
    auto* holder = static_cast<std::shared_ptr<ThreadControl>*>(parameter);
    std::shared_ptr<ThreadControl> control = *holder;
    delete holder;
    {
        std::unique_lock<std::mutex> lock(control->mutex);
        control->threadId = ::gettid();
        control->published = true;
        control->changed.notify_all();
        // The runnable may delete the uThread object; start() must be done with it first.
        control->changed.wait(lock, [&] { return control->released; });
    }
    t_currentControl = control.get();
    try
    {
        control->runnable->run();
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "uncaught exception on thread %d: %s\n", static_cast<int>(control->threadId),
                     error.what());
    }
    catch (...)
    {
        std::fprintf(stderr, "uncaught exception on thread %d\n", static_cast<int>(control->threadId));
    }
    // From here on only the control block: the runnable and the uThread may be gone.
    std::lock_guard<std::mutex> lock(control->mutex);
    control->finished = true;
    control->changed.notify_all();
    return nullptr;
}

} // namespace

uThread::uThread() = default;

uThread::uThread(uRunnable* target, void* argument) : m_target(target), m_argument(argument) {}

uThread::~uThread()
{
    if (!m_hasHandle || m_reaped)
        return;
    if (!m_detached && !isCurrentThread())
        join();
    else
        ::pthread_detach(m_handle);
}

bool uThread::isCurrentThread() const
{
    return m_hasHandle && ::pthread_equal(::pthread_self(), m_handle);
}

bool uThread::start()
{
    if (m_hasHandle)
        return false;
    auto control = std::make_shared<ThreadControl>();
    control->runnable = m_target ? m_target : this;
    auto* holder = new std::shared_ptr<ThreadControl>(control);
    if (::pthread_create(&m_handle, nullptr, ThreadEntry, holder) != 0)
    {
        delete holder;
        return false;
    }
    m_hasHandle = true;
    m_control = control;
    std::unique_lock<std::mutex> lock(control->mutex);
    control->changed.wait(lock, [&] { return control->published; });
    m_threadId = static_cast<uint32_t>(control->threadId);
    // The last touch of this object: once released, run may delete it.
    control->released = true;
    control->changed.notify_all();
    return true;
}

bool uThread::isRunning() const
{
    if (m_threadId == 0 || !m_control)
        return false;
    std::lock_guard<std::mutex> lock(m_control->mutex);
    return !m_control->finished;
}

bool uThread::waitForEnd(bool bounded, uint32_t milliseconds)
{
    if (m_threadId == 0 || !m_control || isCurrentThread())
        return false;
    {
        std::unique_lock<std::mutex> lock(m_control->mutex);
        if (m_control->finished)
        {
            lock.unlock();
            if (!m_reaped)
                m_reaped = ::pthread_join(m_handle, nullptr) == 0;
            return true;
        }
        auto ended = [&] { return m_control->finished; };
        if (bounded)
        {
            if (!m_control->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ended))
                return false;
        }
        else
            m_control->changed.wait(lock, ended);
    }
    if (!m_reaped)
        m_reaped = ::pthread_join(m_handle, nullptr) == 0;
    m_threadId = 0;
    return true;
}

bool uThread::join()
{
    return waitForEnd(false, 0);
}

bool uThread::join(uint32_t milliseconds)
{
    return waitForEnd(true, milliseconds);
}

bool uThread::join(uint32_t milliseconds, int)
{
    return waitForEnd(true, milliseconds);
}

bool uThread::setPriority(int level)
{
    if (level == m_priorityLevel || level < 0 || level > kPriorityLowest || !isRunning())
        return false;
    // On Linux a thread id addresses that one thread.
    // A nice value below the one the thread has needs CAP_SYS_NICE: without
    // it this fails and the level stays, rather than pretend. That covers not
    // only the levels above normal but also going back up after a lowering
    // (lowest, then normal again), which an unprivileged user cannot undo.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(m_threadId), kNiceByLevel[level]) != 0)
        return false;
    m_priorityLevel = level;
    return true;
}

bool uThread::terminate()
{
    if (!m_hasHandle || m_reaped || m_threadId == 0)
        return false;
    m_control->stopRequested = true;
    ::pthread_detach(m_handle);
    m_reaped = true;
    m_threadId = 0;
    return true;
}

bool uThread::isStopRequested()
{
    return t_currentControl && t_currentControl->stopRequested.load();
}

void uThread::setName(const char* name)
{
    m_name = name ? name : "";
}

void uThread::describe(uString& text) const
{
    char buffer[64];
    std::string description;
    if (!m_name.isEmpty())
        description = m_name.c_str();
    else
    {
        std::snprintf(buffer, sizeof buffer, "Thread 0x%8llX",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
        description = buffer;
    }
    std::snprintf(buffer, sizeof buffer, "(thread id: %u)", m_threadId);
    description += buffer;
    text = description.c_str();
}

char* uThread::toString() const
{
    uString text;
    describe(text);
    return text.duplicate();
}

int OpenThreadById(uint32_t threadId)
{
    if (threadId == 0)
        return -1;
    // /proc/<tid> resolves for any thread, listed or not; its task entry is the thread itself.
    std::string id = std::to_string(threadId);
    return ::open(("/proc/" + id + "/task/" + id).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool IsThreadRunning(uint32_t threadId)
{
    int folder = OpenThreadById(threadId);
    if (folder < 0)
        return false;
    bool running = procfiles::IsLive(procfiles::StateAt(folder));
    ::close(folder);
    return running;
}

bool SleepMs(uint32_t milliseconds)
{
    struct timespec remaining = {static_cast<time_t>(milliseconds / 1000),
                                 static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR)
    {
    }
    return true;
}

void YieldThread()
{
    ::sched_yield();
}
