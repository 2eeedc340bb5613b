#pragma once

// The shared state behind uMutex objects: one per name in this process, so
// that a thread owning the name through one object owns it through all. A
// named lock also holds a lock file under the user's runtime folder, which
// other processes lock with flock.

#include <cstdint>
#include <memory>

namespace namedlock
{

struct NamedLock;
using LockHandle = std::shared_ptr<NamedLock>;

// The lock of this name, opened (and its lock file created) when this process
// has none yet. An empty name gives a lock of this process only. Null when the
// lock file cannot be opened.
LockHandle Open(const char* name);

enum class Result
{
    kAcquired,
    kTimedOut,
    kFailed
};

// Waits until the calling thread owns the lock; timeoutMs < 0 waits without
// bound. Passes at once when the thread owns it already.
Result Acquire(NamedLock& lock, uint32_t self, int64_t timeoutMs);
// Never blocks: true when the calling thread owns the lock afterwards.
bool TryAcquire(NamedLock& lock, uint32_t self);
// Frees the lock when the calling thread owns it. False when the lock file
// could not be unlocked.
bool Release(NamedLock& lock, uint32_t self);
bool IsOwner(NamedLock& lock, uint32_t self);

} // namespace namedlock
