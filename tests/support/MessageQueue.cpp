#include "support/MessageQueue.h"

#include <utility>

namespace testsupport
{

void MessageQueue::deliver(uWindowMessage message)
{
    {
        std::lock_guard hold(m_lock);
        m_messages.push_back(std::move(message));
    }
    m_arrived.notify_all();
}

bool MessageQueue::waitFor(std::size_t count, std::chrono::milliseconds bound)
{
    std::unique_lock hold(m_lock);
    return m_arrived.wait_for(hold, bound, [&] { return m_messages.size() >= count; });
}

std::vector<uWindowMessage> MessageQueue::take()
{
    std::lock_guard hold(m_lock);
    return std::exchange(m_messages, {});
}

std::size_t MessageQueue::size() const
{
    std::lock_guard hold(m_lock);
    return m_messages.size();
}

} // namespace testsupport
