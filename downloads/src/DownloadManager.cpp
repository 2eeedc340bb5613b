#include "downloads/DownloadManager.h"

#include "LibraryFiling.h"
#include "downloads/TorrentData.h"
#include "downloads/TorrentEngineLoader.h"

#include <sys/statvfs.h>

namespace
{

CTransferItem RecordFor(const CTransferRequest& request)
{
    CTransferItem record(request.type, request.media, request.label, request.listName, request.feed,
                         request.item, request.link);
    record.length = request.length > 0 ? static_cast<uint64_t>(request.length) : 0;
    return record;
}

torrent::EngineSettings EngineSettingsFor(const CDownloadSettings& settings)
{
    torrent::EngineSettings engine;
    engine.listenPort1 = settings.nListenPortNumber1;
    engine.listenPort2 = settings.nListenPortNumber2;
    engine.uploadRateLimit = settings.nMaxUploadRateLimit;
    engine.downloadRateLimit = settings.nMaxDownloadRateLimit;
    engine.maxConnections = settings.nMaxConnections;
    engine.maxUploads = settings.nMaxUploadTask;
    engine.torrentFolder = settings.torrentDir;
    return engine;
}

} // namespace

int TransferLimitFor(int nMaxDownloadingThreads)
{
    const int limit = static_cast<int16_t>(nMaxDownloadingThreads & 0xFFFF);
    return (limit <= 0 || limit > 4) ? 1 : limit;
}

CDownloadManager::CDownloadManager(CDownloadEnvironment& environment, CDownloadHost* host)
    : m_environment(environment), m_host(host),
      m_limit(TransferLimitFor(environment.GetSettings().nMaxDownloadingThreads)), m_limiter(m_limit)
{
    // The queue is read before the engine exists, as at every start-up.
    LoadQueue();
    const CDownloadSettings settings = m_environment.GetSettings();
    m_engine.reset(torrent::StartEngine(settings.programDir, EngineSettingsFor(settings)));
}

CDownloadManager::CDownloadManager(CDownloadEnvironment& environment, CDownloadHost* host,
                                   std::unique_ptr<CTorrentEngine> engine)
    : m_environment(environment), m_host(host),
      m_limit(TransferLimitFor(environment.GetSettings().nMaxDownloadingThreads)), m_limiter(m_limit)
{
    LoadQueue();
    m_engine = std::move(engine);
}

CDownloadManager::~CDownloadManager()
{
    m_stopping = true;
    m_limiter.ShutDown(); // wakes a starter waiting for a slot
    {
        std::lock_guard<std::mutex> lock(m_starterLock);
        if (m_starter.joinable())
            m_starter.join();
    }
    StopAllTasks();
    WaitForTasks();
    m_engine.reset();
    SaveQueue();
}

// ---- Queue operations ------------------------------------------------------

std::list<CDownloadManager::Entry>::iterator CDownloadManager::Find(const uString& id)
{
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
        if (it->record.id == id)
            return it;
    return m_queue.end();
}

std::list<CDownloadManager::Entry>::const_iterator CDownloadManager::Find(const uString& id) const
{
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
        if (it->record.id == id)
            return it;
    return m_queue.end();
}

bool CDownloadManager::AddLocked(const CTransferItem& record)
{
    if (Find(record.id) == m_queue.end())
        m_queue.push_back(Entry{record, nullptr});
    return true;
}

bool CDownloadManager::Update(CTransferItem& record, const CDownloadTask* task,
                              const std::function<void(CTransferItem&)>& change)
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it == m_queue.end())
        return false;
    change(record);
    // A stopped or cancelled task keeps working on its own copy only: the
    // status the user chose stays on the entry.
    if (!(task && task->IsAborted()))
        change(it->record);
    return true;
}

bool CDownloadManager::AddItem(const CTransferItem& record)
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    return AddLocked(record);
}

bool CDownloadManager::AddItem(const CTransferRequest& request)
{
    return AddItem(RecordFor(request));
}

bool CDownloadManager::RemoveItem(const CTransferItem& record)
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it == m_queue.end())
        return false;
    // A transfer nobody waits for any more must not file its result.
    if (it->task)
        it->task->Stop(CDownloadTask::kAbortStop);
    m_queue.erase(it);
    return true;
}

bool CDownloadManager::RemoveItem(const CTransferRequest& request)
{
    return RemoveItem(RecordFor(request));
}

void CDownloadManager::RemoveByPath(const uFile& path)
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
    {
        if (it->record.localfile.getPath() == path.getPath())
        {
            if (it->task)
                it->task->Stop(CDownloadTask::kAbortStop);
            m_queue.erase(it);
            return;
        }
    }
}

bool CDownloadManager::RemoveTorrent(const uFile& torrentFile)
{
    return m_engine && m_engine->RemoveTorrentByFile(torrentFile);
}

bool CDownloadManager::Contains(const CTransferItem& record) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    return Find(record.id) != m_queue.end();
}

int CDownloadManager::CountByStatus(int status) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    int count = 0;
    for (const Entry& entry : m_queue)
        if (entry.record.status == status)
            ++count;
    return count;
}

bool CDownloadManager::GetItemByPath(const uFile& path, CTransferItem& record) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    for (const Entry& entry : m_queue)
    {
        if (entry.record.localfile.getPath() == path.getPath())
        {
            record = entry.record;
            return true;
        }
    }
    return false;
}

bool CDownloadManager::GetItemById(const uString& id, CTransferItem& record) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(id);
    if (it == m_queue.end())
        return false;
    record = it->record;
    return true;
}

bool CDownloadManager::GetItemByItem(const uString& item, CTransferItem& record) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    for (const Entry& entry : m_queue)
    {
        if (entry.record.item == item)
        {
            record = entry.record;
            return true;
        }
    }
    return false;
}

std::vector<CTransferItem> CDownloadManager::GetItems() const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    std::vector<CTransferItem> items;
    items.reserve(m_queue.size());
    for (const Entry& entry : m_queue)
        items.push_back(entry.record);
    return items;
}

bool CDownloadManager::HasRunningTask(const CTransferItem& record) const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    return it != m_queue.end() && it->task != nullptr;
}

bool CDownloadManager::SetStatus(CTransferItem& record, int status)
{
    return Update(record, nullptr, [status](CTransferItem& target) { target.status = status; });
}

bool CDownloadManager::SetRetry(CTransferItem& record, int retry)
{
    return Update(record, nullptr, [retry](CTransferItem& target) { target.retry = retry; });
}

bool CDownloadManager::SetLocalFile(const CTransferItem& record)
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it == m_queue.end())
        return false;
    it->record.localfile = record.localfile;
    it->record.length = record.length;
    return true;
}

// ---- Stop and cancel -------------------------------------------------------

bool CDownloadManager::StopItem(const CTransferItem& record)
{
    if (!Contains(record))
        return false;
    bool stopped = false;
    // Engine calls happen outside the queue lock: they may take a while.
    if (record.type == CTransferItem::kTypeTorrent && m_engine &&
        record.status == CTransferItem::kDownloading && record.localfile.isFile() &&
        record.localfile.getSize() > 0)
    {
        CTorrentStatus status;
        if (m_engine->GetStatusByFile(record.localfile, status))
        {
            m_engine->PauseTorrentByFile(record.localfile);
            stopped = true;
        }
    }

    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it == m_queue.end())
        return stopped;
    if (stopped)
        it->record.status = CTransferItem::kStopped;
    if (it->task)
    {
        it->task->Stop(CDownloadTask::kAbortStop);
        it->record.status = CTransferItem::kStopped;
        return true;
    }
    // An active entry without a task (left over from a crash, or whose file
    // vanished) could otherwise never be stopped or deleted. A torrent the
    // engine runs is not such an entry.
    const bool engineOwned = it->record.type == CTransferItem::kTypeTorrent && m_engine &&
                             it->record.status == CTransferItem::kDownloading;
    if (!stopped && it->record.IsActive() && !engineOwned)
    {
        it->record.status = CTransferItem::kStopped;
        return true;
    }
    return stopped;
}

bool CDownloadManager::CancelItem(const CTransferItem& record)
{
    if (!StopItem(record))
        return false;
    bool result = true;
    bool taskRuns = false;
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        auto it = Find(record.id);
        if (it != m_queue.end() && it->task)
        {
            // The task deletes its partial file itself once the transfer has
            // let go of it.
            it->task->Stop(CDownloadTask::kAbortCancel);
            taskRuns = true;
        }
    }
    if (record.type == CTransferItem::kTypeTorrent && m_engine)
    {
        uString dataName;
        if (m_engine->GetDataName(record.localfile, dataName))
        {
            uString key;
            m_engine->ReadTorrentName(record.localfile, key);
            result = m_engine->RemoveTorrentByFile(record.localfile);
            // A torrent the engine ran held its data name alone; otherwise data
            // of that name another torrent holds is not this one's.
            const uFile folder = m_environment.GetSettings().torrentDir;
            if (result || !torrent::IsDataHeldByOther(*m_engine, folder, key, dataName))
                torrent::DeleteTorrentData(folder, dataName);
        }
    }
    if (!taskRuns)
        library::RemovePartialDownload(record, m_environment.GetSettings().tempDir);

    std::lock_guard<std::mutex> lock(m_queueLock);
    auto it = Find(record.id);
    if (it != m_queue.end())
        it->record.status = CTransferItem::kCancelled;
    return result;
}

// ---- Free space and the scheduler --------------------------------------------

bool CDownloadManager::HasEnoughFreeSpace(int64_t requestedMiB)
{
    const CDownloadSettings settings = m_environment.GetSettings();
    const int64_t minimum = settings.nMinFreeSpace > 0 ? settings.nMinFreeSpace : 0;
    if (requestedMiB == 0)
        requestedMiB = minimum;
    if (requestedMiB < 0)
        requestedMiB = 0;
    uFile folder(settings.downloadDir);
    folder.ensureDirectory();
    // The folder's own file system: the library may be a mount of its own.
    struct statvfs info;
    if (folder.getPath().isEmpty() || ::statvfs(folder.getPath().c_str(), &info) != 0)
        return false;
    const uint64_t freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    const uint64_t neededBytes = static_cast<uint64_t>(minimum + requestedMiB) << 20;
    return freeBytes >= neededBytes;
}

uint64_t CDownloadManager::SetScheduleTimer(int timerId)
{
    if (!m_host)
        return 0;
    const CDownloadSettings settings = m_environment.GetSettings();
    if (settings.bIntervalScheduler && settings.nSchedulerInterval <= 0)
        m_environment.SetSchedulerInterval(5);
    const std::optional<uint64_t> delay = ComputeScheduleDelay(settings, ::time(nullptr));
    if (!delay)
    {
        m_host->KillTimer(timerId);
        return 0;
    }
    m_host->ArmTimer(timerId, *delay);
    return *delay;
}
