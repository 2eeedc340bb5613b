// BitTorrent records: without an engine the .torrent file is the download;
// with one it is handed over, and a finished torrent is filed like a plain
// download. Stop and Cancel reach the engine.
#include "FakeTorrentEngine.h"
#include "TaskTestFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{

using downloadtest::FakeTorrentEngine;
using downloadtest::S;
using downloadtest::TaskTest;
using downloadtest::U;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

class TorrentTaskTest : public TaskTest
{
protected:
    TorrentTaskTest()
    {
        auto engine = std::make_unique<FakeTorrentEngine>();
        m_engine = engine.get();
        m_manager = std::make_unique<CDownloadManager>(m_environment, nullptr, std::move(engine));
    }

    CTransferItem TorrentRecord(const std::string& name)
    {
        m_server.serveContent("/" + name + ".torrent", "d8:announce0:e" + name, "application/x-bittorrent");
        return Enclosure("/" + name + ".torrent", CTransferItem::kMediaOther, "News",
                         CTransferItem::kTypeTorrent);
    }
    std::string TorrentPath(const CTransferItem& record)
    {
        return Data("torrent/" + S(Md5Hex(record.link)) + ".torrent");
    }
    int Status(const CTransferItem& record)
    {
        CTransferItem copy;
        return m_manager->GetItemByItem(record.item, copy) ? copy.status : -1;
    }
    // One task for the queued record; its status afterwards.
    int RunOnce(const CTransferItem& record)
    {
        CTransferItem copy;
        m_manager->GetItemByItem(record.item, copy);
        EXPECT_TRUE(m_manager->StartItemTask(copy));
        m_manager->WaitForTasks();
        return Status(record);
    }

    // Runs a torrent of a folder to its end and checks it was filed under the library.
    void FileAlbum(const std::string& library)
    {
        const CTransferItem record = TorrentRecord("album");
        m_manager->AddItem(record);
        ASSERT_EQ(RunOnce(record), CTransferItem::kDownloading);
        EXPECT_EQ(RunOnce(record), CTransferItem::kDownloading) << "still running: nothing changes";
        std::filesystem::create_directories(Data("torrent/Album/disc 2"));
        std::ofstream(Data("torrent/Album/one.mp3")) << "1";
        std::ofstream(Data("torrent/Album/.cover.jpg")) << "jpg";
        std::ofstream(Data("torrent/Album/disc 2/two.mp3")) << "22";
        std::filesystem::create_directory_symlink("..", Data("torrent/Album/disc 2/up"));
        // Another torrent of the channel filed an "Album" before: it stays.
        std::filesystem::create_directories(library + "/My Download/News/Album");
        std::ofstream(library + "/My Download/News/Album/earlier.mp3") << "0";
        m_engine->Finish(TorrentPath(record),
                         {TorrentFileEntry{1, 1, U("Album/one.mp3")},
                          TorrentFileEntry{3, 3, U("Album/.cover.jpg")},
                          TorrentFileEntry{2, 2, U("Album/disc 2/two.mp3")}},
                         6);
        EXPECT_EQ(RunOnce(record), CTransferItem::kComplete);
        const std::string filed = library + "/My Download/News/Album (2)";
        EXPECT_EQ(ReadFileBytes(library + "/My Download/News/Album/earlier.mp3"), "0");
        EXPECT_EQ(ReadFileBytes(filed + "/.cover.jpg"), "jpg");
        EXPECT_EQ(ReadFileBytes(filed + "/disc 2/two.mp3"), "22");
        EXPECT_TRUE(std::filesystem::is_symlink(filed + "/disc 2/up"));
        EXPECT_EQ(StoredRow(record), "My Download/News/Album (2)|6|application/octet-stream");
        EXPECT_FALSE(FileExists(Data("torrent/Album")));
        EXPECT_FALSE(FileExists(TorrentPath(record)));
        EXPECT_EQ(m_engine->StateOf(TorrentPath(record)), -1);
    }

    FakeTorrentEngine* m_engine;
    std::unique_ptr<CDownloadManager> m_manager;
};

TEST_F(TaskTest, WithoutAnEngineTheTorrentFileIsTheDownload)
{
    m_server.serveContent("/show.torrent", "d4:infod4:name4:showee", "application/x-bittorrent");
    const CTransferItem record =
        Enclosure("/show.torrent", CTransferItem::kMediaVideo, "News", CTransferItem::kTypeTorrent);
    CDownloadManager manager(m_environment, nullptr);
    ASSERT_FALSE(manager.HasTorrentEngine());
    ASSERT_TRUE(manager.StartItemTask(record));
    manager.WaitForTasks();

    const std::string name = S(Md5Hex(record.link)) + ".torrent";
    CTransferItem filed;
    manager.GetItemByItem(record.item, filed);
    EXPECT_EQ(filed.status, CTransferItem::kComplete);
    EXPECT_EQ(ReadFileBytes(Data("torrent/" + name)), "d4:infod4:name4:showee");
    EXPECT_EQ(StoredRow(record), "torrent/" + name + "|22|audio/mpeg");
}

// A finished torrent's folder is filed whole into the library: every file of
// it, hidden ones included, and links as links; what another torrent of the
// channel filed under the same name stays.
TEST_F(TorrentTaskTest, AFinishedFolderMovesWhole)
{
    FileAlbum(Data("library"));
}

// A library on another file system (a second disk) gets the folder by copy.
TEST_F(TorrentTaskTest, AFinishedFolderMovesWholeToAnotherFileSystem)
{
    struct stat data, shm;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(Data("torrent").c_str(), &data) != 0 ||
        shm.st_dev == data.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    testsupport::ScopedEnv tmp("TMPDIR", "/dev/shm");
    testsupport::TempDir library;
    m_preference->SetLibraryDir(uFile(library.path().c_str()));
    m_preference->EnsureDownloadDir();
    FileAlbum(library.path());
}

TEST_F(TorrentTaskTest, ARefusedTorrentIsDuplicatedOrFailed)
{
    const CTransferItem duplicate = TorrentRecord("dup");
    m_manager->AddItem(duplicate);
    m_engine->RefuseNext(/*duplicate=*/true);
    EXPECT_EQ(RunOnce(duplicate), CTransferItem::kDuplicated);
    EXPECT_FALSE(FileExists(TorrentPath(duplicate)));

    const CTransferItem broken = TorrentRecord("broken");
    m_manager->AddItem(broken);
    m_engine->RefuseNext(/*duplicate=*/false);
    EXPECT_EQ(RunOnce(broken), CTransferItem::kFailed);
}

TEST_F(TorrentTaskTest, StopPausesAndCancelRemovesTheTorrentWithItsData)
{
    const CTransferItem record = TorrentRecord("run");
    m_manager->AddItem(record);
    ASSERT_EQ(RunOnce(record), CTransferItem::kDownloading);
    CTransferItem running;
    m_manager->GetItemByItem(record.item, running);
    EXPECT_TRUE(m_manager->StopItem(running));
    EXPECT_EQ(Status(record), CTransferItem::kStopped);
    EXPECT_EQ(m_engine->StateOf(TorrentPath(record)), CTorrentStatus::kPaused);

    std::filesystem::create_directories(Data("torrent/data-0"));
    std::ofstream(Data("torrent/data-0/part.bin")) << "part";
    EXPECT_TRUE(m_manager->CancelItem(running));
    EXPECT_EQ(Status(record), CTransferItem::kCancelled);
    EXPECT_EQ(m_engine->StateOf(TorrentPath(record)), -1);
    EXPECT_FALSE(FileExists(Data("torrent/data-0")));
    EXPECT_FALSE(FileExists(TorrentPath(record)));
}

} // namespace
