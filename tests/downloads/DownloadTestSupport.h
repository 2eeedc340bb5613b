#pragma once

#include "downloads/DownloadHost.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace downloadtest
{

// Polls until the condition holds; false when it still does not after a
// generous bound.
bool WaitUntil(const std::function<bool()>& condition);

uString U(const std::string& text);
std::string S(const uString& text);

// Records the status texts and timer calls.
class RecordingHost : public CDownloadHost
{
public:
    struct TimerCall
    {
        int id;
        bool armed;
        uint64_t milliseconds;
    };

    void PostStatusText(const uString& text) override;
    void ArmTimer(int timerId, uint64_t milliseconds) override;
    void KillTimer(int timerId) override;

    std::vector<std::string> Texts() const;
    std::vector<TimerCall> Timers() const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
    std::vector<TimerCall> m_timers;
};

} // namespace downloadtest
