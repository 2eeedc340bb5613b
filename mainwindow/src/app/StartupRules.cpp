#include "mainwindow/StartupRules.h"

#include "common/Messages.h"

#include <algorithm>
#include <climits>

namespace startup
{
namespace
{
bool EndsWith(const std::string& text, const char* ending)
{
    std::string tail(ending);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

std::uint32_t DocumentMessageFor(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (EndsWith(lower, ".rss"))
        return WM_APP_OPENRSSFILE;
    if (EndsWith(lower, ".opml"))
        return WM_APP_OPENOPMLFILE;
    if (EndsWith(lower, ".torrent"))
        return WM_APP_OPENTORRENTFILE;
    return 0;
}

Placement PlacementFor(int width, int height, int startupMode)
{
    Placement placement;
    placement.useStoredRect = width != 0 && height != 0;
    placement.minimised = placement.useStoredRect && startupMode == 1;
    return placement;
}

int RefreshMinutes(int nRefreshRate)
{
    if (nRefreshRate <= 0)
        return kDefaultRefreshMinutes;
    return std::min(nRefreshRate, kMaxRefreshMinutes);
}

int TimerMilliseconds(std::uint64_t milliseconds)
{
    if (milliseconds == 0)
        return 1;
    return static_cast<int>(std::min<std::uint64_t>(milliseconds, INT_MAX));
}
} // namespace startup
