#include "dialogs/SubscriptionLogic.h"

#include <cstdlib>

namespace subscription
{
namespace
{
constexpr int kMinutesPerHour = 60;
constexpr int kMinutesPerDay = 1440;
} // namespace

uString SampleFeedAddress()
{
    uString address(kProductWebAddress);
    address += "news/rss.xml";
    return address;
}

IntervalDisplay DisplayInterval(int minutes)
{
    if (minutes >= kMinutesPerHour && minutes < kMinutesPerDay && minutes % kMinutesPerHour == 0)
        return {minutes / kMinutesPerHour, kUnitHour};
    if (minutes >= kMinutesPerDay && minutes % kMinutesPerDay == 0)
        return {minutes / kMinutesPerDay, kUnitDays};
    return {minutes, kUnitMinute};
}

int ParseInterval(const char* number, int unit)
{
    long long value = number != nullptr ? std::atoll(number) : 0;
    if (unit == kUnitDays)
        value *= kMinutesPerDay;
    else if (unit == kUnitHour)
        value *= kMinutesPerHour;
    // The field takes digits only, but a pasted giant must not wrap round.
    if (value > 0x7FFFFFFF)
        return 0x7FFFFFFF;
    if (value < -0x7FFFFFFF)
        return -0x7FFFFFFF;
    return static_cast<int>(value);
}

uString DefaultOpenUrl(const uString& clipboard)
{
    uString text = clipboard;
    text.trim();
    uString lower = text;
    lower.makeLower();
    if (lower.startsWith("http://") || lower.startsWith("https://") || lower.startsWith("ftp://"))
        return text;
    if (text.isEmpty() || text.findChar(' ') >= 0 || text.findChar('.') < 0)
        return uString(kProductWebAddress);
    return text;
}
} // namespace subscription
