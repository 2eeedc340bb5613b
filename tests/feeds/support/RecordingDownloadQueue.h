#pragma once

#include "feeds/DownloadQueue.h"
#include "foundation/uFile.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport
{

// A download queue that records what the feed engine asks of it, keyed as a
// transfer record is, so an enclosure is never queued twice. Thread-safe, as
// update tasks queue from their own threads. It has no torrent engine.
class RecordingDownloadQueue : public CDownloadQueue
{
public:
    bool AddItem(const CTransferRequest& request) override
    {
        std::lock_guard hold(m_lock);
        if (findLocked(request) == queued.end())
            queued.push_back(request);
        return true;
    }
    bool RemoveItem(const CTransferRequest& request) override
    {
        std::lock_guard hold(m_lock);
        auto found = findLocked(request);
        if (found == queued.end())
            return false;
        queued.erase(found);
        return true;
    }
    void RemoveByPath(const uFile& path) override
    {
        std::lock_guard hold(m_lock);
        removedPaths.push_back(path.getPath().c_str());
    }
    bool IsBusy() const override { return busy; }
    bool HasTorrentEngine() const override { return false; }
    bool RemoveTorrent(const uFile&) override { return false; }

    std::vector<CTransferRequest> snapshot() const
    {
        std::lock_guard hold(m_lock);
        return queued;
    }

    std::atomic<bool> busy{false};
    std::vector<CTransferRequest> queued;
    std::vector<std::string> removedPaths;

private:
    std::vector<CTransferRequest>::iterator findLocked(const CTransferRequest& request)
    {
        for (auto it = queued.begin(); it != queued.end(); ++it)
            if (it->listName == request.listName && it->feed == request.feed && it->item == request.item &&
                it->link == request.link)
                return it;
        return queued.end();
    }

    mutable std::mutex m_lock;
};

} // namespace testsupport
