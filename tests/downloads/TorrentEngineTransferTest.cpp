// A BitTorrent enclosure end to end with the real engine plug-in, loaded by
// the manager from the program folder: the .torrent file is fetched, handed
// to the engine, downloaded from a seed on 127.0.0.1 and filed.
#include "LoopbackTracker.h"
#include "TaskTestFixture.h"
#include "TorrentFiles.h"
#include "downloads/TorrentEngineLoader.h"
#include "feeds/MediaTypes.h"
#include "foundation/uProgramFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{

using downloadtest::S;
using downloadtest::U;
using downloadtest::WaitUntil;
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

} // namespace
