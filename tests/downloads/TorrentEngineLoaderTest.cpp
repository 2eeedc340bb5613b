// Loading the engine plug-in from the program folder, and the program going on
// without BitTorrent when the plug-in is missing or broken.
#include "downloads/TorrentEngineLoader.h"

#include "EngineTestSupport.h"
#include "foundation/uProgramFolder.h"

#include <dlfcn.h>

using namespace torrenttest;

namespace
{

bool IsLoaded(const std::string& path)
{
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        ::dlclose(handle); // only the reference NOLOAD just took
    return handle != nullptr;
}

std::string StubPath(const char* stub)
{
    return std::string(KESTROVA_ENGINE_STUB_DIR) + "/" + stub + ".so";
}

using TorrentEngineLoaderTest = EngineTest;

TEST_F(TorrentEngineLoaderTest, NoEngineWithoutAWorkingPlugin)
{
    // Renamed away: the folder has no plug-in.
    EXPECT_EQ(torrent::LoadEngine(uString(m_dir.path().c_str()), 0, 0), nullptr);
    // An unknown program folder never means the working directory.
    EXPECT_EQ(torrent::LoadEngine(uString(""), 0, 0), nullptr);

    m_dir.write("garbage/vessimar.so", "this is no shared object");
    EXPECT_EQ(torrent::LoadEngine(uString(m_dir.file("garbage").c_str()), 0, 0), nullptr);

    for (const char* stub : {"no_initialize", "null_engine"})
    {
        SCOPED_TRACE(stub);
        const std::string folder = m_dir.file(stub);
        const std::string plugin = folder + "/" + torrent::kEngineLibraryName;
        ASSERT_TRUE(PathOf(folder).ensureDirectory());
        ASSERT_TRUE(PathOf(plugin).copyFrom(StubPath(stub).c_str(), 0));
        EXPECT_EQ(torrent::LoadEngine(uString(folder.c_str()), 0, 0), nullptr);
        EXPECT_FALSE(IsLoaded(plugin)) << "a failed plug-in must be unloaded again";
    }
}

TEST_F(TorrentEngineLoaderTest, StartedEngineStaysLoadedAndTakesItsSettings)
{
    const std::string content = PatternBytes(30000, 4);
    const MadeTorrent made = MakeSingleFileTorrent("talk.ogg", content, m_tracker.announceUrl(), 16384);
    const std::string torrentPath = m_dir.write("talk.torrent", made.bytes);
    m_dir.write("home/torrent/talk.ogg", content);

    torrent::EngineSettings settings;
    settings.uploadRateLimit = 1000;
    settings.downloadRateLimit = 2000;
    settings.maxConnections = 20;
    settings.maxUploads = 10;
    settings.torrentFolder = PathOf(m_dir.file("home/new/torrent"));
    std::unique_ptr<CTorrentEngine> engine(torrent::StartEngine(GetModuleDirectory(), settings));
    ASSERT_TRUE(engine);
    const std::string plugin = std::string(GetModuleDirectory().c_str()) + "/" + torrent::kEngineLibraryName;
    EXPECT_TRUE(IsLoaded(plugin));
    EXPECT_TRUE(PathOf(m_dir.file("home/new/torrent")).isDirectory()) << "the torrent folder is created";

    // The torrent folder reaches the engine: a torrent whose data lies in
    // another folder is not complete there.
    ASSERT_TRUE(engine->AddTorrent(PathOf(torrentPath)));
    ASSERT_TRUE(
        WaitUntil([&] { return StatusOf(*engine, made.infoKey).state != CTorrentStatus::kChecking; }));
    EXPECT_EQ(StatusOf(*engine, made.infoKey).done, 0u);

    settings.torrentFolder = PathOf(m_dir.file("home/torrent"));
    std::unique_ptr<CTorrentEngine> second(torrent::StartEngine(GetModuleDirectory(), settings));
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->AddTorrent(PathOf(torrentPath)));
    EXPECT_TRUE(WaitUntil([&] { return StatusOf(*second, made.infoKey).finished; }));

    engine.reset();
    EXPECT_TRUE(IsLoaded(plugin)) << "the library stays loaded after the engine is gone";
}

} // namespace
