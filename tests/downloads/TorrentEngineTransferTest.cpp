// A BitTorrent enclosure end to end with the real engine plug-in, loaded by
// the manager from the program folder: the .torrent file is fetched, handed
// to the engine, downloaded from a seed on 127.0.0.1 and filed.
#include "LoopbackTracker.h"
#include "TaskTestFixture.h"
#include "TorrentFiles.h"
#include "downloads/TorrentEngineLoader.h"
#include "downloads/TorrentPanelModel.h"
#include "feeds/MediaTypes.h"
#include "foundation/uProgramFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace
{

using downloadtest::S;
using downloadtest::U;
using downloadtest::WaitUntil;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

// Taken before any test points the program folder elsewhere.
const std::string kBuildProgramDir = S(GetModuleDirectory());

class TorrentEngineTransferTest : public downloadtest::TaskTest
{
protected:
    TorrentEngineTransferTest() : m_listenAddress("VESSIMAR_LISTEN_ADDRESS", "127.0.0.1")
    {
        std::filesystem::create_symlink(kBuildProgramDir + "/" + torrent::kEngineLibraryName,
                                        m_home.program().file(torrent::kEngineLibraryName));
        CPreference::TorrentSection section = m_preference->GetTorrentSection();
        section.nListenPortNumber1 = 0; // any free port
        section.nListenPortNumber2 = 0;
        m_preference->SetTorrentSection(section);
    }

    // An engine of its own seeding "episode.mp3" of that content.
    std::unique_ptr<CTorrentEngine> Seed(const testsupport::TempDir& dir,
                                         const torrenttest::MadeTorrent& made, const std::string& content)
    {
        dir.write("episode.mp3", content);
        std::unique_ptr<CTorrentEngine> seed(torrent::LoadEngine(U(kBuildProgramDir), 0, 0));
        EXPECT_TRUE(seed && seed->SetTorrentFolder(uFile(dir.path().c_str())) &&
                    seed->AddTorrent(uFile(dir.write("seed.torrent", made.bytes).c_str())));
        return seed;
    }

    testsupport::ScopedEnv m_listenAddress;
    torrenttest::LoopbackTracker m_tracker;
};

TEST_F(TorrentEngineTransferTest, ASeededEpisodeEndsInTheLibrary)
{
    const std::string content = torrenttest::PatternBytes(5 * 16384 + 77, 3);
    const torrenttest::MadeTorrent made =
        torrenttest::MakeSingleFileTorrent("episode.mp3", content, m_tracker.announceUrl(), 16384);
    testsupport::TempDir seedDir;
    seedDir.write("episode.mp3", content);
    const std::string seedTorrent = seedDir.write("seed.torrent", made.bytes);
    std::unique_ptr<CTorrentEngine> seed(torrent::LoadEngine(U(kBuildProgramDir), 0, 0));
    ASSERT_TRUE(seed);
    ASSERT_TRUE(seed->SetTorrentFolder(uFile(seedDir.path().c_str())));
    ASSERT_TRUE(seed->AddTorrent(uFile(seedTorrent.c_str())));

    m_server.serveContent("/feed/episode.torrent", made.bytes, "application/x-bittorrent");
    const CTransferItem record =
        Enclosure("/feed/episode.torrent", CTransferItem::kMediaAudio, "News", CTransferItem::kTypeTorrent);
    CDownloadManager manager(m_environment, nullptr);
    ASSERT_TRUE(manager.HasTorrentEngine());
    ASSERT_TRUE(manager.StartItemTask(record));
    manager.WaitForTasks();
    CTransferItem running;
    ASSERT_TRUE(manager.GetItemByItem(record.item, running));
    ASSERT_EQ(running.status, CTransferItem::kDownloading);

    ASSERT_TRUE(WaitUntil(
        [&]
        {
            CTorrentStatus status;
            return manager.GetEngine()->GetStatusByFile(running.localfile, status) && status.finished;
        }));
    ASSERT_TRUE(manager.StartPending());
    manager.WaitForTasks();

    CTransferItem filed;
    ASSERT_TRUE(manager.GetItemByItem(record.item, filed));
    EXPECT_EQ(filed.status, CTransferItem::kComplete);
    EXPECT_EQ(ReadFileBytes(Data("library/My Music/News/episode.mp3")), content);
    EXPECT_FALSE(running.localfile.exists()) << "the .torrent file goes once the data is filed";
    EXPECT_EQ(StoredRow(record), "My Music/News/episode.mp3|" + std::to_string(content.size()) + "|" +
                                     S(GetMimeTypeFromExtension(U("episode.mp3"))));
}

// Two torrents whose data take one name in the torrent folder: while one holds
// the name the other is not added, and Delete from List on either takes only
// its own data.
TEST_F(TorrentEngineTransferTest, TwoTorrentsOfOneNameNeverShareTheirData)
{
    const std::string first = torrenttest::PatternBytes(3 * 16384 + 5, 1);
    const std::string second = torrenttest::PatternBytes(3 * 16384 + 5, 2);
    const auto a = torrenttest::MakeSingleFileTorrent("episode.mp3", first, m_tracker.announceUrl(), 16384);
    const auto b = torrenttest::MakeSingleFileTorrent("episode.mp3", second, m_tracker.announceUrl(), 16384);
    testsupport::TempDir seedA, seedB, outside;
    const auto seedingA = Seed(seedA, a, first);
    const auto seedingB = Seed(seedB, b, second);
    CDownloadManager manager(m_environment, nullptr);
    CTorrentEngine& engine = *manager.GetEngine();
    const uFile aFile(Data("torrent/" + a.infoKey + ".torrent").c_str());
    std::ofstream(S(aFile.getPath())) << a.bytes;
    auto finished = [&](const uFile& file)
    {
        CTorrentStatus status;
        return engine.GetStatusByFile(file, status) && status.finished;
    };
    ASSERT_TRUE(engine.AddTorrent(aFile));
    ASSERT_TRUE(WaitUntil([&] { return finished(aFile); }));

    // The other arrives through the queue, and by hand: not added.
    m_server.serveContent("/feed/b.torrent", b.bytes, "application/x-bittorrent");
    const CTransferItem record =
        Enclosure("/feed/b.torrent", CTransferItem::kMediaAudio, "News", CTransferItem::kTypeTorrent);
    ASSERT_TRUE(manager.StartItemTask(record));
    manager.WaitForTasks();
    CTransferItem queued;
    ASSERT_TRUE(manager.GetItemByItem(record.item, queued));
    EXPECT_EQ(queued.status, CTransferItem::kFailed);
    const uFile bOutside(outside.write("b.torrent", b.bytes).c_str());
    EXPECT_FALSE(engine.AddTorrent(bOutside));
    EXPECT_FALSE(engine.WasDuplicate());
    EXPECT_EQ(ReadFileBytes(Data("torrent/episode.mp3")), first);

    // Delete from List on the first takes its data; the other, retried, then
    // arrives, and its Delete from List takes its own.
    CXListModel list;
    CTorrentPanelModel panel(list, &manager);
    panel.InitColumns(642);
    ASSERT_EQ(list.GetItemCount(), 1);
    EXPECT_TRUE(panel.DeleteFromList(0));
    EXPECT_FALSE(FileExists(Data("torrent/episode.mp3")));
    ASSERT_TRUE(manager.StartItemTask(queued));
    manager.WaitForTasks();
    ASSERT_TRUE(manager.GetItemByItem(record.item, queued));
    ASSERT_EQ(queued.status, CTransferItem::kDownloading);
    // The first, back in the folder meanwhile, waits for its name.
    std::ofstream(S(aFile.getPath())) << a.bytes;
    EXPECT_FALSE(engine.AddTorrent(aFile));
    ASSERT_TRUE(WaitUntil([&] { return finished(queued.localfile); }));
    EXPECT_EQ(ReadFileBytes(Data("torrent/episode.mp3")), second);
    panel.RefreshList();
    ASSERT_EQ(list.GetItemCount(), 1);
    EXPECT_TRUE(panel.DeleteFromList(0));
    EXPECT_FALSE(FileExists(Data("torrent/episode.mp3")));
    EXPECT_FALSE(engine.AddTorrent(bOutside)) << "the first's .torrent in the folder holds the name";
}

} // namespace
