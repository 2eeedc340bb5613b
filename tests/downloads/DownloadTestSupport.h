#pragma once

#include "downloads/DownloadHost.h"
#include "feeds/support/FeedTestSupport.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace downloadtest
{

using feedtest::S;
using feedtest::U;

// Polls until the condition holds; false when it still does not after a
// generous bound.
inline bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

// Records the window calls as "text <status text>", "arm <id> <ms>" and "kill <id>".
class RecordingHost : public CDownloadHost
{
public:
    void PostStatusText(const uString& text) override { Add("text " + S(text)); }
    void ArmTimer(int timerId, uint64_t milliseconds) override
    {
        Add("arm " + std::to_string(timerId) + " " + std::to_string(milliseconds));
    }
    void KillTimer(int timerId) override { Add("kill " + std::to_string(timerId)); }
    void DownloadsEnded() override { Add("ended"); }
    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_calls;
    }

private:
    void Add(const std::string& call)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_calls.push_back(call);
    }

    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
};

} // namespace downloadtest
