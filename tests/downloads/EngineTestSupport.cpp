#include "EngineTestSupport.h"

#include "downloads/TorrentEngineLoader.h"
#include "foundation/uProgramFolder.h"

#include <chrono>
#include <thread>

namespace torrenttest
{

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

uFile PathOf(const std::string& path)
{
    return uFile(path.c_str());
}

std::string Text(const uString& text)
{
    return std::string(text.c_str(), static_cast<std::size_t>(text.getLength()));
}

EngineTest::EngineTest() : m_listenAddress("VESSIMAR_LISTEN_ADDRESS", "127.0.0.1") {}

std::unique_ptr<CTorrentEngine> EngineTest::NewEngine(const std::string& folder, int port1, int port2)
{
    std::unique_ptr<CTorrentEngine> engine(torrent::LoadEngine(GetModuleDirectory(), port1, port2));
    if (!engine)
    {
        ADD_FAILURE() << "no engine from the program folder " << GetModuleDirectory().c_str();
        return nullptr;
    }
    uFile torrentFolder = PathOf(folder);
    torrentFolder.ensureDirectory();
    EXPECT_TRUE(torrentFolder.isDirectory()) << folder;
    EXPECT_TRUE(engine->SetTorrentFolder(torrentFolder));
    return engine;
}

CTorrentStatus EngineTest::StatusOf(CTorrentEngine& engine, const std::string& name)
{
    CTorrentStatus status;
    EXPECT_TRUE(engine.GetStatusByName(uString(name.c_str()), status)) << name;
    return status;
}

} // namespace torrenttest
