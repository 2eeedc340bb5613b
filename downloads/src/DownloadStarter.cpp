// Starting, stopping and collecting the transfer tasks of the download manager.
#include "LibraryFiling.h"
#include "StringTable.h"
#include "downloads/DownloadManager.h"
#include "foundation/uProcess.h"

namespace
{

constexpr int kDownloadingText = 3077;

// Replaces "%f" and "%n" in one pass, so that a path holding "%n" is not
// substituted again.
uString Substitute(const uString& word, const uString& path, const uString& label)
{
    uString result;
    const char* text = word.c_str();
    const int length = word.getLength();
    for (int i = 0; i < length; ++i)
    {
        if (text[i] == '%' && i + 1 < length && (text[i + 1] == 'f' || text[i + 1] == 'n'))
        {
            result += text[i + 1] == 'f' ? path : label;
            ++i;
        }
        else
            result.append(text[i]);
    }
    return result;
}

} // namespace

bool CDownloadManager::StartPending()
{
    bool idle = false;
    if (m_stopping || !m_busy.compare_exchange_strong(idle, true))
        return false;
    if (!HasEnoughFreeSpace(0))
    {
        m_busy = false;
        return false;
    }
    StartPendingBody();
    m_busy = false;
    ReportIfIdle();
    return true;
}

bool CDownloadManager::DownloadNow()
{
    // Claimed before the thread exists, so two quick calls cannot both start one.
    bool idle = false;
    if (m_stopping || !m_busy.compare_exchange_strong(idle, true))
        return false;
    std::lock_guard<std::mutex> lock(m_starterLock);
    if (m_starter.joinable())
        m_starter.join(); // the previous starter has cleared busy and is ending
    m_starter = std::thread(
        [this]
        {
            if (HasEnoughFreeSpace(0))
                StartPendingBody();
            m_busy = false;
            ReportIfIdle();
        });
    return true;
}

void CDownloadManager::StartPendingBody()
{
    ReapFinishedTasks();
    std::vector<uString> ids;
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        for (const Entry& entry : m_queue)
            if (entry.record.status != CTransferItem::kFailed &&
                entry.record.status != CTransferItem::kComplete)
                ids.push_back(entry.record.id);
    }
    for (const uString& id : ids)
    {
        if (!m_limiter.Acquire())
            break; // shutting down
        if (m_stopping)
        {
            m_limiter.Release();
            break;
        }
        // The queue may have changed while this starter waited for a slot.
        CTransferItem record;
        bool pending = false;
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            auto it = Find(id);
            pending = it != m_queue.end() && !it->task && it->record.status != CTransferItem::kFailed &&
                      it->record.status != CTransferItem::kComplete;
            if (pending)
                record = it->record;
        }
        if (!pending || !LaunchTask(record, /*holdsSlot=*/true))
        {
            m_limiter.Release();
            continue;
        }
        if (m_host)
        {
            uString text;
            text.format(resources::StringText(kDownloadingText).c_str(), record.link.c_str());
            m_announced = true;
            m_host->PostStatusText(text);
        }
    }
    if (!m_stopping)
        SetScheduleTimer(CDownloadHost::kSchedulerTimer);
}

bool CDownloadManager::StartItemTask(const CTransferItem& record)
{
    if (m_stopping)
        return false;
    ReapFinishedTasks();
    return LaunchTask(record, /*holdsSlot=*/false);
}

bool CDownloadManager::LaunchTask(const CTransferItem& record, bool holdsSlot)
{
    auto task = std::make_unique<CDownloadTask>(record, this, holdsSlot);
    CDownloadTask* const raw = task.get();
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        auto it = Find(record.id);
        if (it == m_queue.end())
        {
            m_queue.push_back(Entry{record, nullptr});
            it = std::prev(m_queue.end());
        }
        if (it->task)
            return false; // one task per entry
        it->task = raw;
    }
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        // Checked under the task lock: StopAllTasks, which follows the flag,
        // then sees every task that got past this point.
        if (!m_stopping)
        {
            m_tasks.push_back(TaskSlot{std::move(task), std::make_unique<uThread>(raw), false});
            TaskSlot& slot = m_tasks.back();
            slot.thread->setDetached(false);
            slot.thread->setName("transfer");
            started = slot.thread->start();
            if (!started)
                m_tasks.pop_back();
        }
    }
    if (!started)
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        auto it = Find(record.id);
        if (it != m_queue.end() && it->task == raw)
            it->task = nullptr;
    }
    return started;
}

void CDownloadManager::ReapFinishedTasks()
{
    std::list<TaskSlot> finished;
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        for (auto it = m_tasks.begin(); it != m_tasks.end();)
        {
            auto next = std::next(it);
            if (it->finished)
                finished.splice(finished.end(), m_tasks, it);
            it = next;
        }
    }
    // Destroying the slots joins their threads, which have left the manager.
}

void CDownloadManager::StopAllTasks()
{
    std::lock_guard<std::mutex> lock(m_taskLock);
    for (TaskSlot& slot : m_tasks)
        if (!slot.finished)
            slot.task->Stop(CDownloadTask::kAbortStop);
}

void CDownloadManager::WaitForTasks()
{
    {
        std::lock_guard<std::mutex> lock(m_starterLock);
        if (m_starter.joinable())
            m_starter.join();
    }
    {
        std::unique_lock<std::mutex> lock(m_taskLock);
        m_taskEnded.wait(lock,
                         [this]
                         {
                             for (const TaskSlot& slot : m_tasks)
                                 if (!slot.finished)
                                     return false;
                             return true;
                         });
    }
    ReapFinishedTasks();
}

void CDownloadManager::RunPostProcess(const CTransferItem& record)
{
    const uString command = m_environment.GetSettings().strPostProcessCommand;
    if (command.isEmpty())
        return;
    // Split first, substitute inside each word: the feed's title and the file
    // name each stay one argument, and no shell ever sees them.
    std::vector<uString> words = SplitCommandLine(command.c_str());
    if (words.empty())
        return;
    for (uString& word : words)
        word = Substitute(word, record.localfile.getPath(), record.label);
    RunCommandLine(words);
}

int CDownloadManager::FinishTask(CDownloadTask* task, const CTransferItem& record, bool changed)
{
    const uFile tempDir = GetTempDir();
    // A cancelled download's partial file goes while the entry still names
    // its task: whoever sees the task ended sees the file gone. A filed
    // record is the library's; only a file still in the temp or torrent
    // folder is dropped.
    const auto dropCancelled = [&](int reason)
    {
        if (reason == CDownloadTask::kAbortCancel && record.status != CTransferItem::kComplete)
            library::RemovePartialDownload(record, tempDir);
        return reason;
    };
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it == m_queue.end() || it->task != task)
        return dropCancelled(task->GetAbortReason());
    // Read under the lock: a Cancel after this point finds no task and
    // deletes the file itself.
    const int reason = dropCancelled(task->GetAbortReason());
    it->task = nullptr;
    if (changed && reason == CDownloadTask::kAbortNone)
    {
        // The updated copy replaces the entry and goes to the end of the queue.
        m_queue.erase(it);
        m_queue.push_back(Entry{record, nullptr});
    }
    return reason;
}

void CDownloadManager::MarkFinished(CDownloadTask* task)
{
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        for (TaskSlot& slot : m_tasks)
            if (slot.task.get() == task)
                slot.finished = true;
    }
    ReportIfIdle();
    m_taskEnded.notify_all();
}

void CDownloadManager::ReportIfIdle()
{
    // Any thread: the last task to end, or the starter when it ends after them.
    if (!m_host || m_stopping || m_busy || !m_announced)
        return;
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        for (const TaskSlot& slot : m_tasks)
            if (!slot.finished)
                return;
    }
    if (m_announced.exchange(false))
        m_host->DownloadsEnded();
}

uFile CDownloadManager::GetTempDir() const
{
    return m_environment.GetSettings().tempDir;
}
