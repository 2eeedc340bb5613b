#include "threads/NamedLock.h"

#include "foundation/uPrivateFolder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace namedlock
{

// Across processes the lock is an flock on a lock file: the kernel lets go of
// it when the holder dies in any way, so a crashed holder never blocks the
// others (a named semaphore would stay taken), and there is no shared memory
// that a dying holder could leave half-written. The file is never removed:
// removing a lock file races with a process that has just opened it.
struct NamedLock
{
    std::string path;
    int fd = -1;
    std::mutex monitor;
    std::condition_variable released;
    uint32_t owner = 0; // the owning thread of this process, 0 when none

    ~NamedLock()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace
{

std::mutex g_registryLock;
std::map<std::string, std::weak_ptr<NamedLock>>& Registry()
{
    static auto* registry = new std::map<std::string, std::weak_ptr<NamedLock>>;
    return *registry;
}

// $XDG_RUNTIME_DIR/kestrova; without a usable runtime folder kestrova-<uid>
// in the temporary folder; where nobody else could swap neither, "kestrova"
// in the user's cache folder.
std::string LockFolder()
{
    if (const std::string runtime = UserRuntimeFolder(); !runtime.empty())
    {
        if (std::string folder = OwnFolderIn(runtime, "kestrova"); !folder.empty())
            return folder;
    }
    if (std::string folder = PrivateTemporaryFolder(); !folder.empty())
        return folder;
    return UserCacheFolder();
}

// Any name becomes one file name: bytes other than letters, digits, "-" and
// "_" are written as %XX.
std::string FileNameFor(const char* name)
{
    std::string file;
    for (const char* p = name; *p; ++p)
    {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_')
            file += static_cast<char>(c);
        else
        {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            file += escaped;
        }
    }
    return file + ".lock";
}

int LockFile(int fd, int operation)
{
    int result;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

LockHandle Open(const char* name)
{
    if (!name || !*name)
        return std::make_shared<NamedLock>();
    std::string folder = LockFolder();
    if (folder.empty())
        return nullptr;
    std::string path = folder + "/" + FileNameFor(name);

    std::lock_guard<std::mutex> guard(g_registryLock);
    auto& registry = Registry();
    if (auto existing = registry[path].lock())
        return existing;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    auto lock = std::make_shared<NamedLock>();
    lock->path = path;
    lock->fd = fd;
    registry[path] = lock;
    // Drop entries of locks that are gone, so the registry does not grow.
    for (auto entry = registry.begin(); entry != registry.end();)
        entry = entry->second.expired() ? registry.erase(entry) : std::next(entry);
    return lock;
}

Result Acquire(NamedLock& lock, uint32_t self, int64_t timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(timeoutMs, 0));
    {
        std::unique_lock<std::mutex> guard(lock.monitor);
        if (lock.owner == self)
            return Result::kAcquired;
        auto free = [&] { return lock.owner == 0; };
        if (timeoutMs < 0)
            lock.released.wait(guard, free);
        else if (!lock.released.wait_until(guard, deadline, free))
            return Result::kTimedOut;
        // Claimed here first, so that the other threads of this process wait
        // on the monitor rather than on the file.
        lock.owner = self;
    }
    if (lock.fd < 0)
        return Result::kAcquired;

    Result result = Result::kAcquired;
    if (timeoutMs < 0)
    {
        if (LockFile(lock.fd, LOCK_EX) != 0)
            result = Result::kFailed;
    }
    else
    {
        // flock has no time-out: try again in growing steps until the deadline.
        auto step = std::chrono::milliseconds(1);
        while (LockFile(lock.fd, LOCK_EX | LOCK_NB) != 0)
        {
            if (errno != EWOULDBLOCK)
            {
                result = Result::kFailed;
                break;
            }
            auto now = Clock::now();
            if (now >= deadline)
            {
                result = Result::kTimedOut;
                break;
            }
            std::this_thread::sleep_for(std::min<Clock::duration>(step, deadline - now));
            step = std::min(step * 2, std::chrono::milliseconds(50));
        }
    }
    if (result != Result::kAcquired)
    {
        std::lock_guard<std::mutex> guard(lock.monitor);
        lock.owner = 0;
        lock.released.notify_one();
    }
    return result;
}

bool TryAcquire(NamedLock& lock, uint32_t self)
{
    std::lock_guard<std::mutex> guard(lock.monitor);
    if (lock.owner == self)
        return true;
    if (lock.owner != 0)
        return false;
    if (lock.fd >= 0 && LockFile(lock.fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    lock.owner = self;
    return true;
}

bool Release(NamedLock& lock, uint32_t self)
{
    std::lock_guard<std::mutex> guard(lock.monitor);
    if (lock.owner != self)
        return true;
    bool unlocked = lock.fd < 0 || LockFile(lock.fd, LOCK_UN) == 0;
    lock.owner = 0;
    lock.released.notify_one();
    return unlocked;
}

bool IsOwner(NamedLock& lock, uint32_t self)
{
    std::lock_guard<std::mutex> guard(lock.monitor);
    return lock.owner == self;
}

} // namespace namedlock
