#pragma once

#include "foundation/uMessage.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace testsupport
{

// A message transport that keeps what it is given, in arrival order, for a
// test to inspect. Register it with uMessageWindow; it may be fed from any
// thread.
class MessageQueue : public uMessageTransport
{
public:
    void deliver(uWindowMessage message) override;

    // Waits until at least `count` messages have arrived; false when the bound
    // ran out first (a hang guard, not a timing check).
    bool waitFor(std::size_t count, std::chrono::milliseconds bound = std::chrono::seconds(30));
    // Everything received so far, oldest first; the queue is emptied.
    std::vector<uWindowMessage> take();
    std::size_t size() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<uWindowMessage> m_messages;
};

} // namespace testsupport
