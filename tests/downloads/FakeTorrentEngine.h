#pragma once

#include "DownloadTestSupport.h"
#include "downloads/TorrentEngine.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace downloadtest
{

// An engine that holds torrents by their .torrent path and finishes them when
// the test says so. What the download manager never asks answers false.
class FakeTorrentEngine : public CTorrentEngine
{
public:
    // The next torrent added is refused; duplicate tells why.
    void RefuseNext(bool duplicate)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_refuse = true;
        m_refuseAsDuplicate = duplicate;
    }
    // The torrent of this .torrent path has its data: these files.
    void Finish(const std::string& torrentPath, const std::vector<TorrentFileEntry>& files, uint64_t total)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Torrent& torrent = m_torrents.at(torrentPath);
        torrent.files = files;
        torrent.status.finished = true;
        torrent.status.total = torrent.status.done = total;
        torrent.status.state = CTorrentStatus::kSeeding;
    }
    // The state of the torrent of this .torrent path; -1 when it is not held.
    int StateOf(const std::string& torrentPath) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_torrents.find(torrentPath);
        return it == m_torrents.end() ? -1 : it->second.status.state;
    }

    bool WasDuplicate() override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lastWasDuplicate;
    }
    bool AddTorrent(uFile torrentFile) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const std::string path = S(torrentFile.getPath());
        m_lastWasDuplicate = m_refuse ? m_refuseAsDuplicate : m_torrents.count(path) != 0;
        if (m_refuse || m_torrents.count(path))
        {
            m_refuse = false;
            return false;
        }
        Torrent& torrent = m_torrents[path];
        torrent.status.name = U("hash-" + std::to_string(m_torrents.size() - 1));
        torrent.status.active = true;
        torrent.status.state = CTorrentStatus::kDownloading;
        torrent.dataName = "data-" + std::to_string(m_torrents.size() - 1);
        return true;
    }
    bool GetStatusByFile(uFile torrentFile, CTorrentStatus& status) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Torrent* torrent = Find(torrentFile);
        if (torrent)
            status = torrent->status;
        return torrent;
    }
    bool GetDataName(uFile torrentFile, uString& dataName) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Torrent* torrent = Find(torrentFile);
        if (torrent)
            dataName = U(torrent->dataName);
        return torrent;
    }
    bool GetFiles(uString name, std::vector<TorrentFileEntry>& files) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (const auto& entry : m_torrents)
            if (entry.second.status.name == name)
            {
                files = entry.second.files;
                return true;
            }
        return false;
    }
    bool RemoveTorrent(uString name) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_torrents.begin(); it != m_torrents.end(); ++it)
            if (it->second.status.name == name)
            {
                m_torrents.erase(it);
                return true;
            }
        return false;
    }
    bool RemoveTorrentByFile(uFile torrentFile) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_torrents.erase(S(torrentFile.getPath())) != 0;
    }
    bool PauseTorrentByFile(uFile torrentFile) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Torrent* torrent = Find(torrentFile);
        if (torrent)
        {
            torrent->status.active = false;
            torrent->status.state = CTorrentStatus::kPaused;
        }
        return torrent;
    }

    bool SetListenPorts(int, int) override { return true; }
    bool SetTorrentFolder(uFile) override { return true; }
    bool SetUploadRateLimit(int) override { return true; }
    bool SetDownloadRateLimit(int) override { return true; }
    bool SetMaxUploads(int) override { return true; }
    bool SetMaxConnections(int) override { return true; }
    bool SetProxy(uString, int, uString, uString) override { return true; }
    bool GetStatusByName(uString, CTorrentStatus&) override { return false; }
    bool ListTorrents(std::vector<CTorrentStatus>&) override { return false; }
    bool GetFilesByFile(uFile, std::vector<TorrentFileEntry>&) override { return false; }
    bool GetTrackers(uString, std::vector<TorrentTrackerEntry>&) override { return false; }
    bool GetPeers(uString, std::vector<TorrentPeerEntry>&) override { return false; }
    bool TestTorrentFile(uFile) override { return false; }
    bool ResumeTorrent(uString) override { return false; }
    bool PauseTorrent(uString) override { return false; }
    bool ReadTorrentName(uFile, uString&) override { return false; }

private:
    struct Torrent
    {
        CTorrentStatus status;
        std::vector<TorrentFileEntry> files;
        std::string dataName;
    };
    Torrent* Find(const uFile& torrentFile)
    {
        auto it = m_torrents.find(S(torrentFile.getPath()));
        return it == m_torrents.end() ? nullptr : &it->second;
    }

    mutable std::mutex m_lock;
    std::map<std::string, Torrent> m_torrents; // by .torrent path
    bool m_refuse = false;
    bool m_refuseAsDuplicate = false;
    bool m_lastWasDuplicate = false;
};

} // namespace downloadtest
