#pragma once

#include "downloads/TorrentEngine.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace downloadtest
{

// An engine that holds torrents by their .torrent path and finishes them when
// the test says so; it records the calls the manager makes.
class FakeTorrentEngine : public CTorrentEngine
{
public:
    struct Torrent
    {
        CTorrentStatus status;
        std::vector<TorrentFileEntry> files;
        std::string dataName;
    };

    // Torrents added from now on are refused; duplicate tells why.
    void RefuseNext(bool duplicate);
    // The torrent of this .torrent path has its data: these files.
    void Finish(const std::string& torrentPath, const std::vector<TorrentFileEntry>& files, uint64_t total);
    bool Holds(const std::string& torrentPath) const;
    std::vector<std::string> Calls() const;

    bool WasDuplicate() override;
    bool SetListenPorts(int, int) override { return true; }
    bool SetTorrentFolder(uFile) override { return true; }
    bool SetUploadRateLimit(int) override { return true; }
    bool SetDownloadRateLimit(int) override { return true; }
    bool SetMaxUploads(int) override { return true; }
    bool SetMaxConnections(int) override { return true; }
    bool SetProxy(uString, int, uString, uString) override { return true; }
    // Not used by the download manager.
    bool GetStatusByName(uString, CTorrentStatus&) override { return false; }
    bool GetStatusByFile(uFile torrentFile, CTorrentStatus& status) override;
    bool ListTorrents(std::vector<CTorrentStatus>&) override { return false; }
    bool GetDataName(uFile torrentFile, uString& dataName) override;
    bool GetFiles(uString name, std::vector<TorrentFileEntry>& files) override;
    bool GetFilesByFile(uFile, std::vector<TorrentFileEntry>&) override { return false; }
    bool GetTrackers(uString, std::vector<TorrentTrackerEntry>&) override { return false; }
    bool GetPeers(uString, std::vector<TorrentPeerEntry>&) override { return false; }
    bool TestTorrentFile(uFile) override { return false; }
    bool AddTorrent(uFile torrentFile) override;
    bool RemoveTorrent(uString name) override;
    bool RemoveTorrentByFile(uFile torrentFile) override;
    bool ResumeTorrent(uString) override { return false; }
    bool PauseTorrent(uString) override { return false; }
    bool PauseTorrentByFile(uFile torrentFile) override;
    bool ReadTorrentName(uFile, uString&) override { return false; }

private:
    Torrent* ByName(const std::string& name);
    void Record(const std::string& call);

    mutable std::mutex m_lock;
    std::map<std::string, Torrent> m_torrents; // by .torrent path
    std::vector<std::string> m_calls;
    bool m_refuse = false;
    bool m_refuseAsDuplicate = false;
    bool m_lastWasDuplicate = false;
};

} // namespace downloadtest
