#pragma once

#include "downloads/TransferItem.h"
#include "foundation/uThread.h"

#include <atomic>

class CDownloadManager;

// Carries one queue entry through one step of its life on a thread of its
// own: download, hand over to the BitTorrent engine, file into the library,
// run the post-process command, write the record back into the queue.
//
// The manager owns the task and its thread; the task never deletes itself.
class CDownloadTask : public uRunnable
{
public:
    static constexpr int kAbortNone = 0;
    static constexpr int kAbortStop = 1;   // keep the partial file for a later resume
    static constexpr int kAbortCancel = 2; // delete the partial file

    // holdsSlot: the task was started under the manager's limiter and gives
    // its slot back when its transfer ends.
    CDownloadTask(const CTransferItem& record, CDownloadManager* manager, bool holdsSlot);

    void run() override { Run(); }
    void Run();
    // Ends a running transfer within about a second. An aborted task writes
    // nothing back into the queue: the status set by Stop or Cancel stands.
    void Stop(int reason = kAbortStop);

    bool IsAborted() const { return m_abort.load(); }
    int GetAbortReason() const { return m_abortReason.load(); }
    const std::atomic<bool>* GetAbortFlag() const { return &m_abort; }
    bool HoldsSlot() const { return m_holdsSlot; }
    const CTransferItem& GetRecord() const { return m_record; }

private:
    CTransferItem m_record; // the task's own copy, changed by the transfer
    CDownloadManager* m_manager;
    bool m_holdsSlot;
    std::atomic<bool> m_abort{false};
    std::atomic<int> m_abortReason{kAbortNone};
};
