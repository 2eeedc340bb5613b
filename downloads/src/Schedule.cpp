#include "downloads/DownloadManager.h"

namespace
{

constexpr int kDefaultIntervalMinutes = 5;
constexpr time_t kDay = 86400;

} // namespace

std::optional<uint64_t> ComputeScheduleDelay(const CDownloadSettings& settings, time_t now)
{
    if (settings.bIntervalScheduler)
    {
        const int minutes =
            settings.nSchedulerInterval > 0 ? settings.nSchedulerInterval : kDefaultIntervalMinutes;
        return static_cast<uint64_t>(minutes) * 60000u;
    }
    struct tm today;
    if (!::localtime_r(&now, &today))
        return std::nullopt;
    std::optional<time_t> chosen;
    for (int i = 0; i < 6; ++i)
    {
        if (!settings.bEnableTimer[i])
            continue;
        const time_t stored = static_cast<time_t>(settings.timer[i]);
        struct tm timeOfDay;
        if (!::localtime_r(&stored, &timeOfDay))
            continue;
        struct tm candidateTime = today;
        candidateTime.tm_hour = timeOfDay.tm_hour;
        candidateTime.tm_min = timeOfDay.tm_min;
        candidateTime.tm_isdst = -1;
        time_t candidate = ::mktime(&candidateTime);
        if (candidate == static_cast<time_t>(-1))
            continue;
        // A time reached right now also moves on a day: the pass it started
        // ends within the same minute, and the scheduler must stay armed.
        if (candidate <= now)
            candidate += kDay;
        if (!chosen || candidate < *chosen)
            chosen = candidate;
    }
    if (!chosen)
        return std::nullopt;
    return static_cast<uint64_t>(*chosen - now) * 1000u;
}
