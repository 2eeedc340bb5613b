#include "downloads/TorrentEngineLoader.h"

#include "foundation/uSharedObject.h"

namespace torrent
{

CTorrentEngine* LoadEngine(const uString& programFolder, int port1, int port2)
{
    // A bare file name would be looked for in the working directory.
    if (programFolder.isEmpty())
        return nullptr;
    uFile path(programFolder.c_str(), kEngineLibraryName);
    uSharedObject library;
    if (!library.load(path))
        return nullptr;
    void* address = nullptr;
    if (!library.getSymbol(CTorrentEngine::kInitializeSymbol, &address) || !address)
    {
        library.unload();
        return nullptr;
    }
    auto initialize = reinterpret_cast<CTorrentEngine::InitializeFunction>(address);
    CTorrentEngine* engine = initialize(port1, port2);
    if (!engine)
        library.unload();
    // On success the library is deliberately left loaded: uSharedObject's
    // destructor does not unload it.
    return engine;
}

CTorrentEngine* StartEngine(const uString& programFolder, const EngineSettings& settings)
{
    CTorrentEngine* engine = LoadEngine(programFolder, settings.listenPort1, settings.listenPort2);
    if (!engine)
        return nullptr;
    engine->SetUploadRateLimit(settings.uploadRateLimit);
    engine->SetDownloadRateLimit(settings.downloadRateLimit);
    engine->SetMaxConnections(settings.maxConnections);
    engine->SetMaxUploads(settings.maxUploads);
    settings.torrentFolder.ensureDirectory();
    engine->SetTorrentFolder(settings.torrentFolder);
    return engine;
}

} // namespace torrent
