#include "downloads/TransferFigures.h"

#include "foundation/uTranslation.h"

#include <climits>
#include <cstdio>

namespace
{
uString Printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return uString(text);
}

// A float truncated toward zero, bounded to int so that a huge or infinite
// duration cannot overflow the conversion.
int TruncatedInt(float value)
{
    if (value >= static_cast<float>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<float>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

uString TwoParts(const char* format, int whole, int unit)
{
    char text[64];
    std::snprintf(text, sizeof text, format, whole / unit, whole % unit);
    return uString(text);
}
} // namespace

const char* TorrentStateName(int state)
{
    static constexpr const char* kNames[CTorrentStatus::kStateCount] = {
        "Queued",   "Checking", "Connecting", "Metadata", "Downloading",
        "Finished", "Seeding",  "Allocating", "Paused"};
    if (state < 0 || state >= CTorrentStatus::kStateCount)
        return "";
    // Shown to the user: in the interface language (a catalog's texts are
    // kept for the program's life and end in a NUL, as the literals do).
    return uTr(kNames[state]).data();
}

uString FormatTimeLeft(float seconds)
{
    if (seconds <= 60.0f)
        return Printed("%.2f s", seconds);
    if (seconds <= 3600.0f)
        return TwoParts("%dm %ds", TruncatedInt(seconds), 60);
    // The single-precision reciprocals: a bound like 86400 s must give 24h 0m.
    if (seconds <= 86400.0f)
        return TwoParts("%dh %dm", TruncatedInt(seconds * 0.016666668f), 60);
    if (seconds > 86400.0f)
        return TwoParts("%dd %dh", TruncatedInt(seconds * 0.00027777778f), 24);
    return uString(); // not a number
}

uString FormatTorrentCell(const CTorrentStatus& status, int column)
{
    switch (column)
    {
    case 0:
        return status.displayName;
    case 1:
        return Printed("%.2fMB", static_cast<double>(status.total) * 9.5367431640625e-07);
    case 2:
        // Before its metadata a torrent has no size: 0 % rather than "nan".
        if (status.total == 0)
            return Printed("%.2f", 0.0);
        return Printed("%.2f", static_cast<double>(status.done) / static_cast<double>(status.total) * 100.0);
    case 3:
        return Printed("%.2f", static_cast<double>(status.downloadRate) * 0.0009765625);
    case 4:
        return Printed("%.2f", static_cast<double>(status.uploadRate) * 0.0009765625);
    case 5:
    {
        const uint64_t left = status.total - status.done;
        return FormatTimeLeft(
            static_cast<float>(static_cast<double>(left) / (static_cast<double>(status.downloadRate) + 1.0)));
    }
    case 6:
    {
        char text[64];
        std::snprintf(text, sizeof text, "%d/%d", status.seeds, status.peers);
        return uString(text);
    }
    case 7:
        if (status.downloaded == 0)
            return uString("INF");
        return Printed("%.2f", static_cast<double>(status.uploaded) / static_cast<double>(status.downloaded));
    case 8:
        return Printed("%.2f", static_cast<double>(status.health));
    case 9:
        return uString(TorrentStateName(status.state));
    default:
        return uString();
    }
}
