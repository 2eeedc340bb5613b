#include "downloads/DownloadTask.h"

#include "LibraryFiling.h"
#include "downloads/DownloadManager.h"

CDownloadTask::CDownloadTask(const CTransferItem& record, CDownloadManager* manager, bool holdsSlot)
    : m_record(record), m_manager(manager), m_holdsSlot(holdsSlot)
{
}

void CDownloadTask::Run()
{
    if (!m_manager)
        return;
    bool changed = false;
    const bool ok = m_manager->RunTransfer(m_record, changed, this);
    // The slot goes back exactly once, whatever the transfer did.
    if (m_holdsSlot)
        m_manager->ReleaseSlot();
    if (ok && !IsAborted())
        m_manager->RunPostProcess(m_record);
    const int reason = m_manager->FinishTask(this, m_record, changed);
    // A filed record is the library's now; only a download still lying in the
    // temp or torrent folder is a partial file to drop.
    if (reason == kAbortCancel && m_record.status != CTransferItem::kComplete)
        library::RemovePartialDownload(m_record, m_manager->GetTempDir());
    m_manager->MarkFinished(this);
}

void CDownloadTask::Stop(int reason)
{
    // Cancel outranks stop: a stop after a cancel must not keep the file.
    int current = m_abortReason.load();
    while (current < reason && !m_abortReason.compare_exchange_weak(current, reason))
    {
    }
    m_abort = true;
}
