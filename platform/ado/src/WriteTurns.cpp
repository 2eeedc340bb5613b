#include "WriteTurns.h"

namespace ado::detail
{

WriteTurns& WriteTurns::instance()
{
    static WriteTurns turns;
    return turns;
}

std::uint64_t WriteTurns::ended() const
{
    std::lock_guard hold(m_lock);
    return m_ended;
}

void WriteTurns::announceEnd()
{
    {
        std::lock_guard hold(m_lock);
        ++m_ended;
    }
    m_changed.notify_all();
}

void WriteTurns::waitForEnd(std::uint64_t seen, std::chrono::milliseconds most)
{
    std::unique_lock hold(m_lock);
    m_changed.wait_for(hold, most, [&] { return m_ended != seen; });
}

} // namespace ado::detail
