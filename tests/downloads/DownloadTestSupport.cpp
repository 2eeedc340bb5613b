#include "DownloadTestSupport.h"

#include <chrono>
#include <thread>

namespace downloadtest
{

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000; ++i)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

uString U(const std::string& text)
{
    return uString(text.c_str());
}

std::string S(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

void RecordingHost::PostStatusText(const uString& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.push_back(S(text));
}

void RecordingHost::ArmTimer(int timerId, uint64_t milliseconds)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_timers.push_back(TimerCall{timerId, true, milliseconds});
}

void RecordingHost::KillTimer(int timerId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_timers.push_back(TimerCall{timerId, false, 0});
}

std::vector<std::string> RecordingHost::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

std::vector<RecordingHost::TimerCall> RecordingHost::Timers() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_timers;
}

} // namespace downloadtest
