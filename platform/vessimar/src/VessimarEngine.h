#pragma once

#include "TorrentSession.h"
#include "downloads/TorrentEngine.h"

namespace vessimar
{

// The engine object handed to the program: converts the program's strings,
// paths and records to and from the session's standard types, and keeps every
// exception inside the plug-in (a failed call returns false).
class VessimarEngine : public CTorrentEngine
{
public:
    VessimarEngine(int port1, int port2) : m_session(port1, port2) {}

    bool WasDuplicate() override;
    bool SetListenPorts(int port1, int port2) override;
    bool SetTorrentFolder(uFile folder) override;
    bool SetUploadRateLimit(int bytesPerSecond) override;
    bool SetDownloadRateLimit(int bytesPerSecond) override;
    bool SetMaxUploads(int uploads) override;
    bool SetMaxConnections(int connections) override;
    bool SetProxy(uString host, int port, uString user, uString password) override;
    bool GetStatusByName(uString name, CTorrentStatus& status) override;
    bool GetStatusByFile(uFile torrentFile, CTorrentStatus& status) override;
    bool ListTorrents(std::vector<CTorrentStatus>& torrents) override;
    bool GetDataName(uFile torrentFile, uString& dataName) override;
    bool GetFiles(uString name, std::vector<TorrentFileEntry>& files) override;
    bool GetFilesByFile(uFile torrentFile, std::vector<TorrentFileEntry>& files) override;
    bool GetTrackers(uString name, std::vector<TorrentTrackerEntry>& trackers) override;
    bool GetPeers(uString name, std::vector<TorrentPeerEntry>& peers) override;
    bool TestTorrentFile(uFile torrentFile) override;
    bool AddTorrent(uFile torrentFile) override;
    bool RemoveTorrent(uString name) override;
    bool RemoveTorrentByFile(uFile torrentFile) override;
    bool ResumeTorrent(uString name) override;
    bool PauseTorrent(uString name) override;
    bool PauseTorrentByFile(uFile torrentFile) override;
    bool ReadTorrentName(uFile torrentFile, uString& name) override;

private:
    TorrentSession m_session;
};

} // namespace vessimar
