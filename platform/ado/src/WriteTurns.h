#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ado::detail
{

// Tells the writers of this process that wait for a locked database when a
// write transaction of this process has ended, so that the next one starts
// at once. SQLite's own waiting sleeps 1, 2, 5, 10 ms and longer between
// tries, far longer than a store holds the lock: with several update threads
// on one list most of a pass went to those sleeps.
class WriteTurns
{
public:
    static WriteTurns& instance();

    // Counts ended write transactions; a waiter compares it with what it saw.
    std::uint64_t ended() const;
    void announceEnd();
    // Returns once a write transaction ended after `seen`, or after `most`
    // (a writer of another process sends no news).
    void waitForEnd(std::uint64_t seen, std::chrono::milliseconds most);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_ended = 0;
};

} // namespace ado::detail
