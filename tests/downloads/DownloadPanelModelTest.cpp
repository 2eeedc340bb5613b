#include "downloads/DownloadPanelModel.h"

#include "TaskTestFixture.h"
#include "support/GermanInterface.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace downloadtest
{
namespace
{
// The panel's rows over a real manager (no engine) whose entries the tests
// put in the states they need, with partial files of chosen sizes.
class DownloadPanelModelTest : public TaskTest
{
protected:
    DownloadPanelModelTest() : m_manager(m_environment, nullptr, nullptr), m_panel(m_list, &m_manager)
    {
        m_panel.InitColumns(642);
    }

    // A queued entry in that status whose local file holds `size` bytes of
    // `length` (no file for a negative size).
    CTransferItem Queue(int status, int64_t size, uint64_t length, const std::string& ds = kList)
    {
        CTransferItem record =
            Enclosure("/e" + std::to_string(m_items + 1) + ".mp3", CTransferItem::kMediaAudio);
        if (ds != kList)
            record = CTransferItem(record.type, record.file, record.label, U(ds), record.feed, record.item,
                                   record.link);
        record.status = status;
        record.length = length;
        if (size >= 0)
        {
            std::string path = Data("temp/" + S(record.id) + "/" + S(record.filename));
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            std::ofstream(path).close();
            std::filesystem::resize_file(path, static_cast<uintmax_t>(size)); // sparse: no real disk used
            record.localfile = uFile(path.c_str());
        }
        EXPECT_TRUE(m_manager.AddItem(record));
        return record;
    }
    void SetStatus(CTransferItem record, int status) { m_manager.SetStatus(record, status); }
    std::string Text(int row, int column) const { return m_list.GetItemText(row, column).c_str(); }
    const XListCellData& ProgressCell(int row) const
    {
        return *m_list.GetCell(row, CDownloadPanelModel::kProgressColumn);
    }

    CDownloadManager m_manager;
    CXListModel m_list;
    CDownloadPanelModel m_panel;
};
} // namespace

// Shares of 64 over the width less 2; the last column takes the rest.
TEST_F(DownloadPanelModelTest, FillsOneRowPerEntryUnderFiveColumns)
{
    CTransferItem record = Queue(CTransferItem::kNew, -1, 0);
    m_panel.FillList();
    ASSERT_EQ(m_list.GetItemCount(), 1);
    EXPECT_EQ(m_list.GetColumn(1)->width, 24 * 640 / 64);
    EXPECT_EQ(m_list.GetColumn(4)->width, 640 - (4 + 24 + 12 + 10) * 10 - 2);
    EXPECT_EQ(m_list.GetHeaderCheckedState(0), kHeaderUnchecked);
    EXPECT_EQ(m_list.GetCheckbox(0, 0), 0);
    EXPECT_EQ(Text(0, 1), S(record.filename)); // no local file yet
    EXPECT_EQ(Text(0, 2), "News");
    EXPECT_EQ(Text(0, 3), "New");
    EXPECT_EQ(Text(0, 4), S(record.item));
    {
        testsupport::GermanInterface german(
            std::filesystem::path(KESTROVA_LIST_TEMPLATE).parent_path().parent_path().c_str());
        ASSERT_TRUE(german.loaded);
        m_panel.FillList();
        EXPECT_EQ(Text(0, 3), "Neu");
    }
    EXPECT_EQ(S(m_list.GetItemData(0)->extra), S(record.id));
    // Names and addresses cut by their columns show whole in their tips.
    for (int column : {1, 2, 4})
        EXPECT_EQ(S(m_list.GetCell(0, column)->tooltip), Text(0, column)) << column;
    EXPECT_EQ(S(m_list.GetCell(0, 3)->tooltip), "");
}

// Active rows show their status until the first tick, then a bar at size x
// 100 / length in 64 bits; a finished one shows its status again.
TEST_F(DownloadPanelModelTest, TimerTurnsActiveRowsIntoProgressBars)
{
    CTransferItem quarter = Queue(CTransferItem::kDownloading, 250, 1000);
    CTransferItem large = Queue(CTransferItem::kDownloading, 50'000'000, 100'000'000);
    Queue(CTransferItem::kDownloading, 10, 0); // length unknown
    CTransferItem fresh = Queue(CTransferItem::kNew, -1, 0);
    m_panel.FillList();
    EXPECT_EQ(Text(0, 3), "Downloading");
    EXPECT_FALSE(ProgressCell(0).showProgress);

    m_panel.OnTimer();
    EXPECT_TRUE(m_panel.ProgressBarsMade());
    EXPECT_TRUE(ProgressCell(0).showProgress);
    EXPECT_EQ(ProgressCell(0).percent, 25);
    EXPECT_EQ(ProgressCell(1).percent, 50); // a 32-bit product would say 7
    EXPECT_EQ(ProgressCell(2).percent, 1);
    EXPECT_FALSE(ProgressCell(3).showProgress);

    SetStatus(quarter, CTransferItem::kComplete);
    SetStatus(fresh, CTransferItem::kQueued);
    m_panel.OnTimer();
    EXPECT_FALSE(ProgressCell(0).showProgress);
    EXPECT_EQ(Text(0, 3), "Complete");
    EXPECT_TRUE(ProgressCell(3).showProgress);
    EXPECT_EQ(ProgressCell(3).percent, 0);

    // A finished row keeps what it shows.
    SetStatus(quarter, CTransferItem::kFailed);
    m_panel.OnTimer();
    EXPECT_EQ(Text(0, 3), "Complete");
}

TEST_F(DownloadPanelModelTest, MenuGreyingFollowsTheShownStatus)
{
    using M = CDownloadPanelModel;
    EXPECT_EQ(M::GreyedCommands(CTransferItem::kNew),
              (std::vector<int>{M::kShowFileLocation, M::kLaunchFile, M::kCancelDownload, M::kStopDownload}));
    EXPECT_EQ(
        M::GreyedCommands(CTransferItem::kDownloading),
        (std::vector<int>{M::kShowFileLocation, M::kLaunchFile, M::kStartDownload, M::kDeleteFromList}));
    EXPECT_EQ(M::GreyedCommands(CTransferItem::kComplete),
              (std::vector<int>{M::kCancelDownload, M::kStopDownload, M::kStartDownload}));
    EXPECT_TRUE(M::GreyedCommands(CTransferItem::kDuplicated).empty());
}

// The Delete button removes checked finished rows and keeps active ones;
// Duplicated ones only go through "Delete from List".
TEST_F(DownloadPanelModelTest, DeleteKeepsActiveAndDuplicatedRows)
{
    Queue(CTransferItem::kComplete, -1, 0);
    Queue(CTransferItem::kDownloading, 5, 10);
    CTransferItem duplicated = Queue(CTransferItem::kDuplicated, -1, 0);
    Queue(CTransferItem::kFailed, -1, 0); // left unchecked
    m_panel.FillList();
    EXPECT_EQ(m_panel.DeleteChecked(), 0); // nothing checked
    for (int row = 0; row < 3; ++row)
        m_list.SetCheckbox(row, 0, 1);
    EXPECT_EQ(m_panel.DeleteChecked(), 1);
    ASSERT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(Text(0, 3), "Downloading");
    EXPECT_EQ(m_manager.GetItems().size(), 3u);
    EXPECT_FALSE(m_panel.DeleteFromList(0)); // active
    EXPECT_TRUE(m_panel.DeleteFromList(1));
    EXPECT_FALSE(m_manager.Contains(duplicated));
    EXPECT_EQ(m_list.GetItemCount(), 2);
}

// Two lists queue the same item: each row acts on its own entry.
TEST_F(DownloadPanelModelTest, RowsWithTheSameItemActOnTheirOwnEntries)
{
    CTransferItem first = Queue(CTransferItem::kDownloading, 1, 10);
    CTransferItem second(first.type, first.file, first.label, U("other.mdb"), first.feed, first.item,
                         first.link);
    second.status = CTransferItem::kDownloading;
    ASSERT_TRUE(m_manager.AddItem(second));
    m_panel.FillList();
    ASSERT_EQ(m_list.GetItemCount(), 2);
    EXPECT_TRUE(m_panel.StopDownload(1));
    CTransferItem entry;
    ASSERT_TRUE(m_manager.GetItemById(first.id, entry));
    EXPECT_EQ(entry.status, CTransferItem::kDownloading);
    ASSERT_TRUE(m_manager.GetItemById(second.id, entry));
    EXPECT_EQ(entry.status, CTransferItem::kStopped);
    m_panel.OnTimer();
    EXPECT_EQ(Text(1, 3), "Stopped");
    EXPECT_TRUE(ProgressCell(0).showProgress);
}

TEST_F(DownloadPanelModelTest, ColumnClicksSortAsTextAndReverse)
{
    Queue(CTransferItem::kNew, -1, 0);
    Queue(CTransferItem::kComplete, -1, 0);
    m_panel.FillList();
    m_panel.OnColumnClick(0); // never sorted
    EXPECT_EQ(m_panel.GetSortColumn(), -1);
    m_panel.OnColumnClick(3);
    EXPECT_EQ(Text(0, 3), "Complete");
    m_panel.OnColumnClick(3);
    EXPECT_EQ(Text(0, 3), "New");
    EXPECT_FALSE(m_panel.IsSortAscending());
}
} // namespace downloadtest
