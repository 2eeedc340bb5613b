// The engine plug-in's operations on one engine: reading .torrent files,
// refusals, pausing, removal and listen ports.
#include "EngineTestSupport.h"
#include "downloads/TorrentEngineLoader.h"
#include "foundation/uProgramFolder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace torrenttest;

namespace
{

constexpr int kPieceLength = 16384;

class TorrentEngineTest : public EngineTest
{
protected:
    // A torrent of two files in a folder "show" that nobody seeds.
    MadeTorrent WriteShowTorrent(const std::string& fileName)
    {
        MadeTorrent made = MakeMultiFileTorrent(
            "show", {{"a.mp3", PatternBytes(20000, 1)}, {"extra/b.txt", PatternBytes(5000, 2)}},
            m_tracker.announceUrl(), kPieceLength);
        m_dir.write(fileName, made.bytes);
        return made;
    }
};

// A port that was free a moment ago.
int FreeLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool AcceptsConnections(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

TEST_F(TorrentEngineTest, ReadsTorrentFilesItDoesNotHoldAndRefusesBrokenOnes)
{
    const MadeTorrent made = WriteShowTorrent("show.torrent");
    auto engine = NewEngine(m_dir.file("data"));
    ASSERT_TRUE(engine);
    const uFile file = PathOf(m_dir.file("show.torrent"));

    uString name, dataName;
    ASSERT_TRUE(engine->ReadTorrentName(file, name));
    EXPECT_EQ(Text(name), made.infoKey);
    ASSERT_TRUE(engine->GetDataName(file, dataName));
    EXPECT_EQ(Text(dataName), "show");
    std::vector<TorrentFileEntry> files;
    ASSERT_TRUE(engine->GetFilesByFile(file, files));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(Text(files[1].path), "show/extra/b.txt");
    EXPECT_EQ(files[1].size, 5000u);
    EXPECT_FALSE(engine->TestTorrentFile(file)) << "not held, so not known";

    // The same path rewritten with another torrent reads as the new one.
    const MadeTorrent other =
        MakeSingleFileTorrent("other.ogg", PatternBytes(3000, 3), m_tracker.announceUrl(), kPieceLength);
    m_dir.write("show.torrent", other.bytes);
    ASSERT_TRUE(engine->ReadTorrentName(file, name));
    EXPECT_EQ(Text(name), other.infoKey);

    const std::string broken = m_dir.write("broken.torrent", made.bytes.substr(0, made.bytes.size() / 2));
    const std::string empty = m_dir.write("empty.torrent", "");
    for (const std::string& path : {m_dir.file("missing.torrent"), empty, broken, m_dir.path()})
    {
        SCOPED_TRACE(path);
        CTorrentStatus status;
        EXPECT_FALSE(engine->ReadTorrentName(PathOf(path), name));
        EXPECT_FALSE(engine->GetFilesByFile(PathOf(path), files));
        EXPECT_FALSE(engine->GetStatusByFile(PathOf(path), status));
        EXPECT_FALSE(engine->AddTorrent(PathOf(path)));
        EXPECT_FALSE(engine->WasDuplicate());
    }

    // Without a torrent folder nothing is added.
    std::unique_ptr<CTorrentEngine> noFolder(torrent::LoadEngine(GetModuleDirectory(), 0, 0));
    ASSERT_TRUE(noFolder);
    EXPECT_FALSE(noFolder->AddTorrent(file));
    EXPECT_FALSE(noFolder->WasDuplicate());
}

TEST_F(TorrentEngineTest, DuplicateRefusalIsReportedToTheThreadThatAdded)
{
    const MadeTorrent made = WriteShowTorrent("show.torrent");
    // The same torrent under a second file name is still the same torrent.
    const std::string copy = m_dir.write("copy/renamed.torrent", made.bytes);
    auto engine = NewEngine(m_dir.file("data"));
    auto otherEngine = NewEngine(m_dir.file("other"));
    ASSERT_TRUE(engine && otherEngine);
    const uFile file = PathOf(m_dir.file("show.torrent"));

    ASSERT_TRUE(engine->AddTorrent(file));
    EXPECT_TRUE(engine->TestTorrentFile(PathOf(copy)));
    EXPECT_FALSE(engine->AddTorrent(PathOf(copy)));
    EXPECT_TRUE(engine->WasDuplicate());
    EXPECT_FALSE(otherEngine->WasDuplicate()) << "the refusal was the other engine's";

    bool freshThread = true;
    bool ownRefusal = false;
    std::thread(
        [&]
        {
            freshThread = engine->WasDuplicate();
            engine->AddTorrent(file);
            ownRefusal = engine->WasDuplicate();
        })
        .join();
    EXPECT_FALSE(freshThread);
    EXPECT_TRUE(ownRefusal);

    // A refusal for another reason clears the flag.
    EXPECT_FALSE(engine->AddTorrent(PathOf(m_dir.file("missing.torrent"))));
    EXPECT_FALSE(engine->WasDuplicate());
    std::vector<CTorrentStatus> all;
    ASSERT_TRUE(engine->ListTorrents(all));
    EXPECT_EQ(all.size(), 1u);
}

TEST_F(TorrentEngineTest, PausedIncompleteTorrentReadsPausedAndResumes)
{
    const MadeTorrent made = WriteShowTorrent("show.torrent");
    auto engine = NewEngine(m_dir.file("data"));
    ASSERT_TRUE(engine);
    const uFile file = PathOf(m_dir.file("show.torrent"));
    ASSERT_TRUE(engine->AddTorrent(file));

    ASSERT_TRUE(engine->PauseTorrent(made.infoKey.c_str()));
    CTorrentStatus status = StatusOf(*engine, made.infoKey);
    EXPECT_FALSE(status.active);
    EXPECT_EQ(status.state, CTorrentStatus::kPaused);
    EXPECT_EQ(status.total, 25000u);

    ASSERT_TRUE(engine->ResumeTorrent(made.infoKey.c_str()));
    status = StatusOf(*engine, made.infoKey);
    EXPECT_TRUE(status.active);
    EXPECT_NE(status.state, CTorrentStatus::kPaused);
    ASSERT_TRUE(engine->PauseTorrentByFile(file));
    EXPECT_EQ(StatusOf(*engine, made.infoKey).state, CTorrentStatus::kPaused);
}

TEST_F(TorrentEngineTest, RemovalKeepsTheDataAndForgetsTheTorrent)
{
    const std::string content = PatternBytes(40000, 9);
    const MadeTorrent made =
        MakeSingleFileTorrent("clip.mp4", content, m_tracker.announceUrl(), kPieceLength);
    const std::string torrentPath = m_dir.write("clip.torrent", made.bytes);
    m_dir.write("data/clip.mp4", content);
    auto engine = NewEngine(m_dir.file("data"));
    ASSERT_TRUE(engine);
    ASSERT_TRUE(engine->AddTorrent(PathOf(torrentPath)));
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(*engine, made.infoKey).finished; }));
    EXPECT_EQ(StatusOf(*engine, made.infoKey).state, CTorrentStatus::kSeeding);

    ASSERT_TRUE(engine->RemoveTorrentByFile(PathOf(torrentPath)));
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir.file("data/clip.mp4")), content);
    EXPECT_FALSE(engine->TestTorrentFile(PathOf(torrentPath)));

    // Operations by name on a torrent that is not held, or on a name that is
    // no info-hash, fail.
    CTorrentStatus status;
    std::vector<TorrentFileEntry> files;
    std::vector<TorrentPeerEntry> peers;
    for (const char* key :
         {made.infoKey.c_str(), "", "not-a-hash", "zz56773a4400998ea4eea46e5787dbd5e7f6d5ac"})
    {
        SCOPED_TRACE(key);
        EXPECT_FALSE(engine->RemoveTorrent(key));
        EXPECT_FALSE(engine->PauseTorrent(key));
        EXPECT_FALSE(engine->GetStatusByName(key, status));
        EXPECT_FALSE(engine->GetFiles(key, files));
        EXPECT_FALSE(engine->GetPeers(key, peers));
    }
    EXPECT_FALSE(engine->RemoveTorrentByFile(PathOf(torrentPath)));
    EXPECT_TRUE(engine->AddTorrent(PathOf(torrentPath))) << "removed, it can be added again";
}

TEST_F(TorrentEngineTest, ListensOnTheConfiguredPorts)
{
    const int first = FreeLoopbackPort();
    auto engine = NewEngine(m_dir.file("data"), first, first);
    ASSERT_TRUE(engine);
    EXPECT_TRUE(WaitUntil([&] { return AcceptsConnections(first); }));

    const int second = FreeLoopbackPort();
    ASSERT_TRUE(engine->SetListenPorts(second, second));
    EXPECT_TRUE(WaitUntil([&] { return AcceptsConnections(second); }));
    EXPECT_TRUE(WaitUntil([&] { return !AcceptsConnections(first); }));
}

} // namespace
