#pragma once

#include "foundation/uString.h"

#include <cstdint>

// What the download manager needs of the main window. Every call may come
// from any thread (the download starter, transfer tasks, the window itself);
// an implementation hands the work to its own thread. Texts travel by value.
class CDownloadHost
{
public:
    // The scheduler's timer id ("Download Now").
    static constexpr int kSchedulerTimer = 2;

    virtual ~CDownloadHost() = default;

    // Shows a line in the status bar ("Downloading %s").
    virtual void PostStatusText(const uString& text) = 0;
    // Arms a periodic timer, replacing an earlier one of that id.
    virtual void ArmTimer(int timerId, uint64_t milliseconds) = 0;
    virtual void KillTimer(int timerId) = 0;
    // The transfers announced with "Downloading %s" have all ended: the
    // status line may say so.
    virtual void DownloadsEnded() {}
};
