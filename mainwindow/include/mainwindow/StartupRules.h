#pragma once

#include <cstdint>
#include <string>

// The start-up and timer rules of the application object and the main frame,
// without any window.
namespace startup
{
/// The message a file opened through the shell or the command line goes to
/// the main frame with, by the ending of its lower-cased path: ".rss",
/// ".opml" or ".torrent". 0 for any other file.
std::uint32_t DocumentMessageFor(const std::string& path);

/// How the stored window rectangle is applied at start: only a rectangle with
/// both width and height set is used, and only then may the window start
/// minimised (start-up mode 1).
struct Placement
{
    bool useStoredRect = false;
    bool minimised = false;
};
Placement PlacementFor(int width, int height, int startupMode);

/// The refresh interval in minutes for nRefreshRate: 0 or less means 5, and
/// a value whose milliseconds would not fit a timer is cut to the largest
/// that does.
inline constexpr int kDefaultRefreshMinutes = 5;
inline constexpr int kMaxRefreshMinutes = 35791; // 35791 x 60000 ms still fits an int
int RefreshMinutes(int nRefreshRate);

/// A timer delay in milliseconds as a timer takes it: at least 1, at most the
/// largest int.
int TimerMilliseconds(std::uint64_t milliseconds);
} // namespace startup
