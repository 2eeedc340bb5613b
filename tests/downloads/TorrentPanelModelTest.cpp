// The BitTorrent panel's rows, detail pages and commands over a real download
// manager and an engine scripted by the test (a .torrent file here holds just
// its torrent's name).
#include "downloads/TorrentPanelModel.h"

#include "TaskTestFixture.h"
#include "downloads/TorrentDetailPages.h"
#include "downloads/TransferFigures.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace downloadtest
{
namespace
{
namespace fs = std::filesystem;

class ScriptEngine : public CTorrentEngine
{
public:
    struct Torrent
    {
        CTorrentStatus status;
        std::vector<TorrentTrackerEntry> trackers;
        std::vector<TorrentFileEntry> files;
        std::string file;
    };
    std::vector<Torrent> torrents;
    std::vector<std::string> calls;

    Torrent* Find(const uString& name)
    {
        for (Torrent& torrent : torrents)
            if (torrent.status.name == name.c_str())
                return &torrent;
        return nullptr;
    }
    Torrent* FindFile(const uFile& file)
    {
        uString name;
        return ReadTorrentName(file, name) ? Find(name) : nullptr;
    }
    bool ReadTorrentName(uFile file, uString& name) override
    {
        std::ifstream in(file.getPath().c_str());
        std::string text;
        if (!std::getline(in, text) || text.empty())
            return false;
        name = text.c_str();
        return true;
    }
    bool GetStatusByName(uString name, CTorrentStatus& status) override
    {
        Torrent* torrent = Find(name);
        if (torrent != nullptr)
            status = torrent->status;
        return torrent != nullptr;
    }
    bool GetStatusByFile(uFile file, CTorrentStatus& status) override
    {
        Torrent* torrent = FindFile(file);
        return torrent != nullptr && GetStatusByName(torrent->status.name, status);
    }
    bool ListTorrents(std::vector<CTorrentStatus>& list) override
    {
        list.clear();
        for (const Torrent& torrent : torrents)
            list.push_back(torrent.status);
        return true;
    }
    bool GetTrackers(uString name, std::vector<TorrentTrackerEntry>& list) override
    {
        Torrent* torrent = Find(name);
        if (torrent != nullptr)
            list = torrent->trackers;
        return torrent != nullptr;
    }
    bool GetFiles(uString name, std::vector<TorrentFileEntry>& list) override
    {
        Torrent* torrent = Find(name);
        if (torrent != nullptr)
            list = torrent->files;
        return torrent != nullptr;
    }
    bool GetDataName(uFile file, uString& dataName) override
    {
        Torrent* torrent = FindFile(file);
        if (torrent != nullptr)
            dataName = torrent->status.displayName;
        return torrent != nullptr;
    }
    bool AddTorrent(uFile file) override
    {
        calls.push_back(std::string("add ") + file.getFileName());
        return true;
    }
    bool PauseTorrentByFile(uFile file) override
    {
        calls.push_back(std::string("pause ") + file.getFileName());
        return true;
    }
    bool RemoveTorrentByFile(uFile file) override
    {
        calls.push_back(std::string("remove by file ") + file.getFileName());
        return true;
    }
    bool RemoveTorrent(uString name) override { return Call("remove", name); }
    bool ResumeTorrent(uString name) override { return Call("resume", name); }
    bool PauseTorrent(uString name) override { return Call("pause", name); }
    bool Call(const char* what, const uString& name)
    {
        calls.push_back(std::string(what) + " " + name.c_str());
        return Find(name) != nullptr;
    }

    bool WasDuplicate() override { return false; }
    bool SetListenPorts(int, int) override { return true; }
    bool SetTorrentFolder(uFile) override { return true; }
    bool SetUploadRateLimit(int) override { return true; }
    bool SetDownloadRateLimit(int) override { return true; }
    bool SetMaxUploads(int) override { return true; }
    bool SetMaxConnections(int) override { return true; }
    bool SetProxy(uString, int, uString, uString) override { return true; }
    bool GetFilesByFile(uFile, std::vector<TorrentFileEntry>&) override { return false; }
    bool GetPeers(uString, std::vector<TorrentPeerEntry>&) override { return false; }
    bool TestTorrentFile(uFile) override { return false; }
};

// The detail list as rows of cells.
class TextTable : public ITextTable
{
public:
    std::vector<std::vector<std::string>> rows;
    int columns = 0;
    int inserts = 0;
    int GetWidth() const override { return 800; }
    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    void InsertColumn(int, const uString&, int, bool) override { ++columns; }
    void DeleteColumn(int) override { --columns; }
    void InsertRow(int row, const uString& text) override
    {
        ++inserts;
        rows.insert(rows.begin() + row, std::vector<std::string>(static_cast<std::size_t>(columns)));
        rows[static_cast<std::size_t>(row)][0] = text.c_str();
    }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    uString GetCell(int row, int column) const override
    {
        return row < GetRowCount()
                   ? rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].c_str()
                   : "";
    }
    void SetCell(int row, int column, const uString& text) override
    {
        rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text.c_str();
    }
};

class TorrentPanelModelTest : public TaskTest
{
protected:
    TorrentPanelModelTest()
    {
        auto engine = std::make_unique<ScriptEngine>();
        m_engine = engine.get();
        m_manager = std::make_unique<CDownloadManager>(m_environment, nullptr, std::move(engine));
        m_folder = Data("torrent");
        fs::create_directories(m_folder);
    }
    // A torrent of one 3 GiB file with its .torrent under that file name.
    ScriptEngine::Torrent& Add(const std::string& name, const std::string& displayName,
                               const std::string& file, int state = CTorrentStatus::kDownloading)
    {
        ScriptEngine::Torrent torrent;
        torrent.status.name = name.c_str();
        torrent.status.displayName = displayName.c_str();
        torrent.status.state = state;
        torrent.status.total = 3ull << 30;
        torrent.status.done = 1ull << 30;
        torrent.file = m_folder + "/" + file;
        std::ofstream(torrent.file) << name;
        m_engine->torrents.push_back(torrent);
        return m_engine->torrents.back();
    }
    std::string Text(int row, int column) const { return m_list.GetItemText(row, column).c_str(); }

    ScriptEngine* m_engine;
    std::unique_ptr<CDownloadManager> m_manager;
    std::string m_folder;
    CXListModel m_list;
};

TEST_F(TorrentPanelModelTest, LoadsOnlyTorrentsNamedForTheirHashAndListsEveryTorrent)
{
    Add("aa11", "show.mp3", "aa11.torrent");
    Add("bb22", "album", "0cc175b9c0f1b6a831c399e269772661.torrent"); // fetched by the queue
    Add("cc33", "other", "CC33.torrent");
    CTorrentPanelModel panel(m_list, m_manager.get());
    panel.LoadTorrentFolder();
    EXPECT_EQ(m_engine->calls, (std::vector<std::string>{"add aa11.torrent", "pause aa11.torrent"}));

    uFile found;
    ASSERT_TRUE(panel.FindTorrentFile("bb22", found));
    EXPECT_STREQ(found.getFileName(), "0cc175b9c0f1b6a831c399e269772661.torrent");

    panel.InitColumns(642);
    ASSERT_EQ(m_list.GetColumns(), 11);
    EXPECT_EQ(m_list.GetColumn(0)->width, 24 * 640 / 64);
    EXPECT_EQ(m_list.GetColumn(0)->alignment, kAlignLeft);
    EXPECT_EQ(m_list.GetColumn(7)->title, "U/D Radio");
    ASSERT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(Text(1, 0), "album");
    EXPECT_EQ(Text(1, 1), FormatTorrentCell(m_engine->torrents[1].status, 1).c_str());
    EXPECT_EQ(Text(1, 10), "");
    EXPECT_EQ(m_list.GetCell(1, 0)->image, 4);
    EXPECT_EQ(std::string(m_list.GetCell(1, 0)->tooltip.c_str()), "album");

    // The timer freshens cells and images but keeps the rows and the state
    // the menu goes by.
    m_engine->torrents[1].status.state = CTorrentStatus::kSeeding;
    m_engine->torrents[1].status.done = 3ull << 30;
    m_engine->torrents[1].status.displayName = "album (remastered)";
    m_engine->torrents.erase(m_engine->torrents.begin());
    panel.OnTimer();
    EXPECT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(std::string(m_list.GetCell(1, 0)->tooltip.c_str()), "album (remastered)");
    EXPECT_EQ(m_list.GetCell(1, 0)->image, 5);
    EXPECT_EQ(Text(1, 9), "Seeding");
    EXPECT_EQ(m_list.GetItemData(1)->status, CTorrentStatus::kDownloading);
    EXPECT_EQ(CTorrentPanelModel::GreyedCommands(CTorrentStatus::kDownloading).size(), 4u);
    EXPECT_TRUE(CTorrentPanelModel::GreyedCommands(CTorrentStatus::kPaused).empty());
    EXPECT_TRUE(CTorrentPanelModel::GreyedCommands(CTorrentStatus::kAllocating).empty());
}

TEST_F(TorrentPanelModelTest, DetailPagesFillFromTheEngine)
{
    ScriptEngine::Torrent& torrent = Add("aa11", "show", "aa11.torrent");
    torrent.status.pieceSize = 16384;
    torrent.status.downloadRate = 2048;
    torrent.trackers = {{0, "http://a.test/announce"}, {1, "http://b.test/announce"}};
    torrent.files = {{5ull << 30, 0, "show/part1.mp3"}, {1000, 500, "show/notes.txt"}};
    TextTable table;
    CTorrentDetailPages pages(table, m_engine, uFile(m_folder.c_str()));

    pages.ShowPage(CTorrentDetailPages::kSummary, "aa11", "show");
    ASSERT_EQ(table.rows.size(), 15u);
    EXPECT_EQ(table.rows[1][1], m_folder + "/show");
    EXPECT_EQ(table.rows[4][1], "3221225472"); // above 2 GiB
    EXPECT_EQ(table.rows[6][1], "http://a.test/announce;http://b.test/announce");
    EXPECT_EQ(table.rows[8][1], "33.33%");
    EXPECT_EQ(table.rows[9][1], "2147483648 bytes");
    EXPECT_EQ(table.rows[13][1], "2.00 KB/s");
    EXPECT_EQ(table.rows[10][0], "");

    pages.ShowPage(CTorrentDetailPages::kFiles, "aa11", "show");
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.columns, 3);
    EXPECT_EQ(table.rows[0], (std::vector<std::string>{"show/part1.mp3", "5368709120", "0.00%"}));
    EXPECT_EQ(table.rows[1][2], "50.00%");

    // On the same page a changed order inserts rows; a new layout starts afresh.
    pages.ShowPage(CTorrentDetailPages::kTrackers, "aa11", "show");
    ASSERT_EQ(table.rows.size(), 2u);
    std::swap(torrent.trackers[0], torrent.trackers[1]);
    const int inserts = table.inserts;
    pages.ShowPage(CTorrentDetailPages::kTrackers, "aa11", "show");
    EXPECT_EQ(table.inserts, inserts + 1);
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[0][0], "http://b.test/announce");
    EXPECT_EQ(table.rows[1][0], "http://a.test/announce");
    pages.Reset();
    pages.ShowPage(CTorrentDetailPages::kTrackers, "aa11", "show");
    EXPECT_EQ(table.rows.size(), 2u);
}

TEST_F(TorrentPanelModelTest, CommandsGoThroughTheQueueWhileItWorksOnTheTorrent)
{
    Add("aa11", "queued.mp3", "0cc175b9c0f1b6a831c399e269772661.torrent");
    Add("bb22", "loose", "bb22.torrent");
    std::ofstream(m_folder + "/queued.mp3") << "x";
    fs::create_directories(m_folder + "/loose/sub");
    std::ofstream(m_folder + "/loose/sub/a") << "y";
    CTransferItem record =
        Enclosure("/q.torrent", CTransferItem::kMediaOther, "News", CTransferItem::kTypeTorrent);
    record.status = CTransferItem::kDownloading;
    record.localfile = uFile(m_engine->torrents[0].file.c_str());
    ASSERT_TRUE(m_manager->AddItem(record));
    CTorrentPanelModel panel(m_list, m_manager.get());
    panel.InitColumns(642);

    // Queued: Cancel ends the record, and the data and .torrent go.
    EXPECT_TRUE(panel.CancelDownload(0));
    CTransferItem after;
    ASSERT_TRUE(m_manager->GetItemById(record.id, after));
    EXPECT_EQ(after.status, CTransferItem::kCancelled);
    EXPECT_FALSE(fs::exists(m_engine->torrents[0].file));
    EXPECT_FALSE(fs::exists(m_folder + "/queued.mp3"));
    EXPECT_EQ(m_engine->calls.back(), "remove by file 0cc175b9c0f1b6a831c399e269772661.torrent");

    // Not queued: the engine stops and starts it; the list stays as it is.
    m_engine->calls.clear();
    EXPECT_TRUE(panel.StopDownload(1));
    EXPECT_TRUE(panel.StartDownload(1));
    EXPECT_EQ(m_engine->calls, (std::vector<std::string>{"pause bb22", "resume bb22"}));

    // Delete removes the torrent, its .torrent and its data folder, and the row.
    EXPECT_TRUE(panel.DeleteFromList(1));
    EXPECT_FALSE(fs::exists(m_folder + "/loose"));
    EXPECT_FALSE(fs::exists(m_folder + "/bb22.torrent"));
    EXPECT_EQ(m_list.GetItemCount(), 1);

    // A row whose torrent left the engine leaves data of its name that another holds.
    m_engine->torrents.clear();
    Add("cc33", "shared.mp3", "cc33.torrent");
    Add("dd44", "shared.mp3", "dd44.torrent");
    std::ofstream(m_folder + "/shared.mp3") << "z";
    panel.RefreshList();
    m_engine->torrents.erase(m_engine->torrents.begin());
    EXPECT_TRUE(panel.DeleteFromList(0));
    EXPECT_TRUE(fs::exists(m_folder + "/shared.mp3"));
}

TEST_F(TorrentPanelModelTest, DeleteRefusesANameOutsideTheTorrentFolder)
{
    for (const char* bad : {"", ".", "..", "../x"})
    {
        m_engine->torrents.clear();
        m_list.DeleteAllItems();
        Add("cc33", bad, "cc33.torrent");
        std::ofstream(m_folder + "/keep.torrent") << "dd44";
        CTorrentPanelModel panel(m_list, m_manager.get());
        if (m_list.GetColumns() == 0)
            panel.InitColumns(642);
        else
            panel.RefreshList();
        EXPECT_TRUE(panel.DataPath(0).isEmpty()) << bad;
        EXPECT_FALSE(panel.DeleteFromList(0)) << bad;
        EXPECT_TRUE(fs::exists(m_folder + "/keep.torrent")) << bad;
        EXPECT_TRUE(fs::is_directory(m_folder)) << bad;
        EXPECT_EQ(m_list.GetItemCount(), 0);
    }
}
} // namespace
} // namespace downloadtest
