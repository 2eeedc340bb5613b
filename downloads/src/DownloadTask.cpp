#include "downloads/DownloadTask.h"

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
    // A cancelled download's partial file goes inside.
    m_manager->FinishTask(this, m_record, changed);
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
