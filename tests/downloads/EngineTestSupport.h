#pragma once

#include "LoopbackTracker.h"
#include "TorrentFiles.h"
#include "downloads/TorrentEngine.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace torrenttest
{

// Polls until the condition holds; false when it still does not after a
// generous bound (the loopback swarm settles in well under a second).
bool WaitUntil(const std::function<bool()>& condition);

uFile PathOf(const std::string& path);
std::string Text(const uString& text);

// Engines made by the real plug-in from the program folder, listening on
// 127.0.0.1 only, with DHT and the other discovery services off; a tracker on
// 127.0.0.1 and a temporary folder.
class EngineTest : public ::testing::Test
{
protected:
    EngineTest();

    // A new engine keeping its data in folder (created).
    std::unique_ptr<CTorrentEngine> NewEngine(const std::string& folder, int port1 = 0, int port2 = 0);
    // The figures of a torrent the engine must hold.
    CTorrentStatus StatusOf(CTorrentEngine& engine, const std::string& name);

    testsupport::ScopedEnv m_listenAddress;
    testsupport::TempDir m_dir;
    LoopbackTracker m_tracker;
};

} // namespace torrenttest
