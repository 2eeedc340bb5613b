#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <cstdint>
#include <vector>

// The BitTorrent engine as the program sees it: an object made by the plug-in
// "vessimar.so" (see torrent::LoadEngine) and used only through the virtual
// operations of CTorrentEngine. The program and the plug-in are built together
// by one compiler, so the foundation's string and file types cross between them
// by value.
//
// Byte counts are 64-bit. A torrent is known by its name: its info-hash as 40
// lower-case hex digits.

// Figures of one torrent at the time it was asked for.
struct CTorrentStatus
{
    // Values of state. Queued and Allocating are never reported by our engine;
    // Paused is a torrent stopped before it was complete, which can be started
    // again.
    static constexpr int kQueued = 0;
    static constexpr int kChecking = 1;
    static constexpr int kConnecting = 2;
    static constexpr int kMetadata = 3;
    static constexpr int kDownloading = 4;
    static constexpr int kFinished = 5;
    static constexpr int kSeeding = 6;
    static constexpr int kAllocating = 7;
    static constexpr int kPaused = 8;
    static constexpr int kStateCount = 9;

    bool finished = false; // every wanted byte is there
    bool active = false;   // running, not paused
    uint64_t done = 0;     // wanted bytes verified
    uint64_t total = 0;    // wanted bytes
    uint64_t downloaded = 0;
    uint64_t uploaded = 0;
    float uploadRate = 0;   // bytes per second
    float downloadRate = 0; // bytes per second
    float health = 0;       // distributed copies among the peers
    int32_t pieceSize = 0;
    int32_t seeds = 0;
    int32_t peers = 0;
    int32_t state = kQueued;
    uString name;        // the key of every other engine call
    uString displayName; // the name of its data (file or folder) in the torrent folder
    uString comment;
};

struct TorrentTrackerEntry
{
    int32_t tier = 0;
    uString url;
};

struct TorrentFileEntry
{
    uint64_t size = 0;
    uint64_t done = 0; // bytes verified; the file on disk is sparse, so its size tells nothing
    uString path;      // relative to the torrent folder, "/" between components
};

struct TorrentPeerEntry
{
    uString address; // "address:port"
    uString status;  // the peer's client
    float uploadRate = 0;
    float downloadRate = 0;
    uint64_t uploaded = 0;
    uint64_t downloaded = 0;
};

// Called from the window thread and from transfer threads at the same time;
// callers take no lock. Every operation returns false when it could not do
// what was asked; out objects are then left in an unspecified state.
class CTorrentEngine
{
public:
    // The plug-in's export: makes an engine listening on port1 (or, when that
    // is taken, a port up to port2), or returns null.
    using InitializeFunction = CTorrentEngine* (*)(int nListenPortNumber1, int nListenPortNumber2);
    static constexpr const char* kInitializeSymbol = "Initialize";

    virtual ~CTorrentEngine() = default;

    // Whether this thread's last refused AddTorrent was refused because the
    // engine already holds that torrent.
    virtual bool WasDuplicate() = 0;

    virtual bool SetListenPorts(int port1, int port2) = 0;
    // Where torrents added from now on keep their data; created by the caller.
    virtual bool SetTorrentFolder(uFile folder) = 0;
    // Bytes per second; 0 means no limit.
    virtual bool SetUploadRateLimit(int bytesPerSecond) = 0;
    virtual bool SetDownloadRateLimit(int bytesPerSecond) = 0;
    // Peers uploaded to at once; 0 means no limit.
    virtual bool SetMaxUploads(int uploads) = 0;
    // 0 means as many as the system allows.
    virtual bool SetMaxConnections(int connections) = 0;
    // An HTTP proxy for peers and trackers; an empty host means none.
    virtual bool SetProxy(uString host, int port, uString user, uString password) = 0;

    virtual bool GetStatusByName(uString name, CTorrentStatus& status) = 0;
    virtual bool GetStatusByFile(uFile torrentFile, CTorrentStatus& status) = 0;
    // Every torrent held, in the order they were added.
    virtual bool ListTorrents(std::vector<CTorrentStatus>& torrents) = 0;
    // The name of the .torrent file's data in the torrent folder.
    virtual bool GetDataName(uFile torrentFile, uString& dataName) = 0;
    virtual bool GetFiles(uString name, std::vector<TorrentFileEntry>& files) = 0;
    // Works without the torrent being held; done is then 0.
    virtual bool GetFilesByFile(uFile torrentFile, std::vector<TorrentFileEntry>& files) = 0;
    virtual bool GetTrackers(uString name, std::vector<TorrentTrackerEntry>& trackers) = 0;
    virtual bool GetPeers(uString name, std::vector<TorrentPeerEntry>& peers) = 0;
    // True when the file is a valid .torrent file and the engine holds its torrent.
    virtual bool TestTorrentFile(uFile torrentFile) = 0;
    // Starts the torrent, its data in the torrent folder; false when the file
    // is no valid .torrent file, no torrent folder is set, the torrent is
    // held already (see WasDuplicate), or another torrent holds its data name
    // (see torrent::IsDataHeldByOther).
    virtual bool AddTorrent(uFile torrentFile) = 0;
    // Removals keep the data, and return once the engine has let go of it.
    virtual bool RemoveTorrent(uString name) = 0;
    virtual bool RemoveTorrentByFile(uFile torrentFile) = 0;
    virtual bool ResumeTorrent(uString name) = 0;
    virtual bool PauseTorrent(uString name) = 0;
    virtual bool PauseTorrentByFile(uFile torrentFile) = 0;
    // The name of the torrent described by a .torrent file.
    virtual bool ReadTorrentName(uFile torrentFile, uString& name) = 0;
};
