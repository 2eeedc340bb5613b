#include "FakeTorrentEngine.h"

#include "DownloadTestSupport.h"

namespace downloadtest
{

void FakeTorrentEngine::RefuseNext(bool duplicate)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_refuse = true;
    m_refuseAsDuplicate = duplicate;
}

void FakeTorrentEngine::Finish(const std::string& torrentPath, const std::vector<TorrentFileEntry>& files,
                               uint64_t total)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Torrent& torrent = m_torrents.at(torrentPath);
    torrent.files = files;
    torrent.status.finished = true;
    torrent.status.total = total;
    torrent.status.done = total;
    torrent.status.state = CTorrentStatus::kSeeding;
}

bool FakeTorrentEngine::Holds(const std::string& torrentPath) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_torrents.count(torrentPath) != 0;
}

std::vector<std::string> FakeTorrentEngine::Calls() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
}

void FakeTorrentEngine::Record(const std::string& call)
{
    m_calls.push_back(call);
}

FakeTorrentEngine::Torrent* FakeTorrentEngine::ByName(const std::string& name)
{
    for (auto& [path, torrent] : m_torrents)
        if (S(torrent.status.name) == name)
            return &torrent;
    return nullptr;
}

bool FakeTorrentEngine::WasDuplicate()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastWasDuplicate;
}

bool FakeTorrentEngine::GetStatusByFile(uFile torrentFile, CTorrentStatus& status)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_torrents.find(S(torrentFile.getPath()));
    if (it == m_torrents.end())
        return false;
    status = it->second.status;
    return true;
}

bool FakeTorrentEngine::GetDataName(uFile torrentFile, uString& dataName)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_torrents.find(S(torrentFile.getPath()));
    if (it == m_torrents.end())
        return false;
    dataName = U(it->second.dataName);
    return true;
}

bool FakeTorrentEngine::GetFiles(uString name, std::vector<TorrentFileEntry>& files)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Torrent* torrent = ByName(S(name));
    if (!torrent)
        return false;
    files = torrent->files;
    return true;
}

bool FakeTorrentEngine::AddTorrent(uFile torrentFile)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Record("AddTorrent");
    const std::string path = S(torrentFile.getPath());
    m_lastWasDuplicate = m_refuse ? m_refuseAsDuplicate : m_torrents.count(path) != 0;
    if (m_refuse || m_torrents.count(path))
    {
        m_refuse = false;
        return false;
    }
    Torrent torrent;
    torrent.status.name = U("hash-" + std::to_string(m_torrents.size()));
    torrent.status.active = true;
    torrent.status.state = CTorrentStatus::kDownloading;
    torrent.dataName = "data-" + std::to_string(m_torrents.size());
    m_torrents[path] = torrent;
    return true;
}

bool FakeTorrentEngine::RemoveTorrent(uString name)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Record("RemoveTorrent");
    for (auto it = m_torrents.begin(); it != m_torrents.end(); ++it)
    {
        if (S(it->second.status.name) == S(name))
        {
            m_torrents.erase(it);
            return true;
        }
    }
    return false;
}

bool FakeTorrentEngine::RemoveTorrentByFile(uFile torrentFile)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Record("RemoveTorrentByFile");
    return m_torrents.erase(S(torrentFile.getPath())) != 0;
}

bool FakeTorrentEngine::PauseTorrentByFile(uFile torrentFile)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Record("PauseTorrentByFile");
    auto it = m_torrents.find(S(torrentFile.getPath()));
    if (it == m_torrents.end())
        return false;
    it->second.status.active = false;
    it->second.status.state = CTorrentStatus::kPaused;
    return true;
}

} // namespace downloadtest
