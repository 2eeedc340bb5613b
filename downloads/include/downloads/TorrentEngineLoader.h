#pragma once

#include "downloads/TorrentEngine.h"

namespace torrent
{

// The engine plug-in's file name in the program folder.
inline constexpr const char* kEngineLibraryName = "vessimar.so";

// Loads the plug-in from the program folder and calls its Initialize with the
// two listen ports. Null, with the library unloaded again, when the folder is
// unknown (empty), the library is missing or does not load, it lacks the
// export, or Initialize returns null: the program then runs without
// BitTorrent. After a success the library stays loaded until the process ends,
// because the engine's code lives in it. The caller owns the engine.
CTorrentEngine* LoadEngine(const uString& programFolder, int port1, int port2);

// The configuration's torrent section and folder, as a new engine takes them.
struct EngineSettings
{
    int listenPort1 = 0;       // nListenPortNumber1
    int listenPort2 = 0;       // nListenPortNumber2
    int uploadRateLimit = 0;   // nMaxUploadRateLimit, bytes per second
    int downloadRateLimit = 0; // nMaxDownloadRateLimit, bytes per second
    int maxConnections = 0;    // nMaxConnections
    int maxUploads = 0;        // nMaxUploadTask
    uFile torrentFolder;       // the data folder's "torrent" folder
};

// LoadEngine, then the limits and the torrent folder in the order a new engine
// is given them (upload and download limits, connections, uploads, folder);
// the folder is created when missing.
CTorrentEngine* StartEngine(const uString& programFolder, const EngineSettings& settings);

} // namespace torrent
