#pragma once

#include "EngineRecords.h"
#include "TorrentFileCache.h"

#include <libtorrent/session.hpp>
#include <mutex>
#include <string>
#include <vector>

namespace vessimar
{

// One libtorrent session and what the program asks of it, in standard types.
// Torrents are known by their key (TorrentKey) or by the path of their .torrent
// file. The program calls in from its window thread and from transfer threads
// at once and takes no lock; libtorrent's own calls are thread-safe, and the
// little state kept here has its own locks.
class TorrentSession
{
public:
    // Throws when libtorrent cannot build a session; a port that cannot be
    // bound is no failure (the session retries when the ports change).
    TorrentSession(int port1, int port2);
    ~TorrentSession();
    TorrentSession(const TorrentSession&) = delete;
    TorrentSession& operator=(const TorrentSession&) = delete;

    // Whether the last AddTorrent of the calling thread on this session was
    // refused because the session already holds that torrent.
    bool WasDuplicate() const;

    void SetListenPorts(int port1, int port2);
    void SetTorrentFolder(const std::string& path);
    void SetUploadRateLimit(int bytesPerSecond);
    void SetDownloadRateLimit(int bytesPerSecond);
    void SetMaxUploads(int slots);
    void SetMaxConnections(int connections);
    void SetProxy(const std::string& host, int port, const std::string& user, const std::string& password);

    bool GetStatusByName(const std::string& name, Status& out) const;
    bool GetStatusByFile(const std::string& path, Status& out);
    bool ListTorrents(std::vector<Status>& out) const;
    bool GetDataName(const std::string& path, std::string& out);
    bool GetFiles(const std::string& name, std::vector<FileEntry>& out) const;
    bool GetFilesByFile(const std::string& path, std::vector<FileEntry>& out);
    bool GetTrackers(const std::string& name, std::vector<TrackerEntry>& out) const;
    bool GetPeers(const std::string& name, std::vector<PeerEntry>& out) const;
    bool TestTorrentFile(const std::string& path);
    bool AddTorrent(const std::string& path);
    bool RemoveTorrent(const std::string& name);
    bool RemoveTorrentByFile(const std::string& path);
    bool ResumeTorrent(const std::string& name);
    bool PauseTorrent(const std::string& name);
    bool PauseTorrentByFile(const std::string& path);
    bool ReadTorrentName(const std::string& path, std::string& out);

private:
    libtorrent::torrent_handle FindByName(const std::string& name) const;
    libtorrent::torrent_handle FindByFile(const std::string& path);
    // Whether a torrent of another info-hash holds the data name `info` would
    // write under in the folder: one in the session, or one whose .torrent
    // file lies in the folder. Data no torrent holds is taken over: the
    // engine checks it against the torrent's pieces.
    bool IsDataNameHeld(const libtorrent::torrent_info& info, const std::string& folder);
    bool Remove(const libtorrent::torrent_handle& handle);
    static bool Pause(const libtorrent::torrent_handle& handle);
    void Apply(const libtorrent::settings_pack& pack);
    std::string TorrentFolder() const;

    TorrentFileCache m_files;
    std::mutex m_addMutex;
    mutable std::mutex m_folderMutex;
    std::string m_folder;
    libtorrent::session m_session;
};

} // namespace vessimar
