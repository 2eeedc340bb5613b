#include "downloads/XListModel.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace
{
// Three rows under a check-box column (header unchecked) and a text column.
class XListModelTest : public testing::Test
{
protected:
    XListModelTest()
    {
        m_model.InsertColumn(0, "", kAlignCentre, 20);
        m_model.InsertColumn(1, "File", kAlignLeft, 100);
        m_model.SetHeaderCheckedState(0, kHeaderUnchecked);
        for (int row = 0; row < 3; ++row)
        {
            m_model.InsertItem(row, "");
            m_model.SetItemText(row, 1, std::to_string(row).c_str());
            m_model.SetCheckbox(row, 0, 0);
        }
        m_model.SetChangeObserver([this](int row, int column) { m_changes.emplace_back(row, column); });
    }

    CXListModel m_model;
    std::vector<std::pair<int, int>> m_changes;
};
} // namespace

TEST_F(XListModelTest, HeaderFollowsTheColumnsCheckBoxes)
{
    m_model.SetCheckbox(0, 0, 1);
    EXPECT_TRUE(m_model.ToggleCheckbox(1, 0));
    EXPECT_EQ(m_model.GetHeaderCheckedState(0), kHeaderUnchecked);
    EXPECT_TRUE(m_model.ToggleCheckbox(2, 0)); // the last unchecked one
    EXPECT_EQ(m_model.GetHeaderCheckedState(0), kHeaderChecked);
    EXPECT_EQ(m_model.CountCheckedItems(0), 3);
    m_model.SetCheckbox(1, 0, 0);
    EXPECT_EQ(m_model.GetHeaderCheckedState(0), kHeaderUnchecked);
    // A state other than 0 or 1 toggles to 0.
    m_model.SetCheckbox(2, 0, 7);
    m_model.ToggleCheckbox(2, 0);
    EXPECT_EQ(m_model.GetCheckbox(2, 0), 0);
    // A column whose header has no check box keeps it so.
    m_model.SetCheckbox(0, 1, 1);
    EXPECT_EQ(m_model.GetHeaderCheckedState(1), kHeaderNoCheckbox);
}

TEST_F(XListModelTest, HeaderClickChecksOrClearsTheColumnsCheckBoxesOnly)
{
    m_model.SetCheckbox(1, 0, -1); // a row without a check box
    EXPECT_TRUE(m_model.ClickHeaderCheckbox(0));
    EXPECT_EQ(m_model.GetHeaderCheckedState(0), kHeaderChecked);
    EXPECT_EQ(m_model.GetCheckbox(0, 0), 1);
    EXPECT_EQ(m_model.GetCheckbox(1, 0), -1);
    EXPECT_EQ(m_model.GetCheckbox(2, 0), 1);
    EXPECT_TRUE(m_model.ClickHeaderCheckbox(0));
    EXPECT_EQ(m_model.GetHeaderCheckedState(0), kHeaderUnchecked);
    EXPECT_EQ(m_model.CountCheckedItems(0), 0);

    // A header without a check box is the owner's (sorting): nothing changes.
    m_model.SetCheckbox(0, 1, 0);
    m_changes.clear();
    EXPECT_FALSE(m_model.ClickHeaderCheckbox(1));
    EXPECT_EQ(m_model.GetCheckbox(0, 1), 0);
    EXPECT_TRUE(m_changes.empty());
}

TEST_F(XListModelTest, CellsWithoutCheckBoxOrOnDisabledRowsIgnoreClicks)
{
    EXPECT_FALSE(m_model.ToggleCheckbox(0, 1)); // state -1
    EXPECT_EQ(m_model.GetCheckbox(0, 1), -1);
    EXPECT_FALSE(m_model.ToggleCheckbox(5, 0));
    // Out of range: false, -1 or 0, and nothing else happens.
    EXPECT_FALSE(m_model.SetItemText(3, 0, "x"));
    EXPECT_FALSE(m_model.SetCheckbox(0, 2, 1));
    EXPECT_EQ(m_model.GetCheckbox(-1, 0), -1);
    EXPECT_EQ(m_model.GetHeaderCheckedState(2), -1);
    EXPECT_EQ(m_model.CountCheckedItems(9), 0);
    EXPECT_EQ(m_model.GetItemData(3), nullptr);
    EXPECT_EQ(m_model.InsertItem(-1, "x"), -1);
    EXPECT_EQ(m_model.InsertItem(99, "x"), 3); // past the end: appended
}

TEST_F(XListModelTest, ProgressIsClampedAndUnchangedCellsRepaintNothing)
{
    m_model.SetProgress(0, 1, true);
    m_model.UpdateProgress(0, 1, 150);
    EXPECT_EQ(m_model.GetCell(0, 1)->percent, 100);
    m_model.UpdateProgress(0, 1, -5);
    EXPECT_EQ(m_model.GetCell(0, 1)->percent, 0);
    m_model.UpdateProgress(0, 1, 40);
    m_changes.clear();
    m_model.UpdateProgress(0, 1, 40);
    m_model.SetItemText(1, 1, "1");
    EXPECT_TRUE(m_changes.empty());
    m_model.DeleteProgress(0, 1);
    EXPECT_EQ(m_changes, (std::vector<std::pair<int, int>>{{0, 1}}));
}

TEST_F(XListModelTest, RowsKeepTheirDataAndSelectionThroughSortAndDelete)
{
    for (int row = 0; row < 3; ++row)
        m_model.SetItemData(
            row, std::make_unique<CTransferRowData>("db", "", std::to_string(row).c_str(), "", 0, 0));
    m_model.SetItemText(0, 1, "c");
    m_model.SetItemText(1, 1, "a");
    m_model.SetItemText(2, 1, "b");
    m_model.SetSelection(0);
    CListSorter(m_model, 1).Sort(true, 3);
    EXPECT_STREQ(m_model.GetItemData(0)->item.c_str(), "1");
    EXPECT_STREQ(m_model.GetItemData(2)->item.c_str(), "0");
    EXPECT_EQ(m_model.GetSelection(), 2);
    m_model.DeleteItem(0);
    EXPECT_EQ(m_model.GetSelection(), 1);
    m_model.DeleteItem(1);
    EXPECT_EQ(m_model.GetSelection(), -1);
    EXPECT_STREQ(m_model.GetItemData(0)->item.c_str(), "2");
}

// The bar ends at left + 2 + (right - (left + 2)) * percent / 100 of the
// shrunk cell, and never past it.
TEST(XListGeometryTest, ProgressBarEndsWhereThePercentSays)
{
    const XListRect cell{100, 10, 202, 30}; // frame 101..200, bar from 103
    const std::pair<int, int> cases[] = {{0, 103}, {40, 141}, {100, 200}, {150, 200}, {-20, 103}};
    for (const auto& [percent, right] : cases)
    {
        XProgressLayout layout = LayOutProgress(cell, percent);
        EXPECT_EQ(layout.bar.right, right) << percent;
        EXPECT_EQ(layout.bar.left, 103);
    }
    EXPECT_EQ(LayOutProgress(cell, 0).bar.Width(), 0);
    EXPECT_EQ(LayOutProgress(cell, 40).frame.bottom, 29);
}

// The message is the caller's: only its first %d takes the number.
TEST(XListGeometryTest, ProgressTextSubstitutesOneNumberSafely)
{
    EXPECT_STREQ(ProgressText("", 40).c_str(), "40%");
    EXPECT_STREQ(ProgressText("Got %d%%", 40).c_str(), "Got 40%");
    EXPECT_STREQ(ProgressText("%s %n %d %d %x%", 7).c_str(), "%s %n 7 %d %x%");
}

TEST(XListGeometryTest, CheckBoxSitsAfterNineOrCentred)
{
    const XListRect cell{0, 0, 40, 21};
    XListRect box = LayOutCheckbox(cell, true);
    EXPECT_EQ(box.left, 9);
    EXPECT_EQ(box.Width(), 20);
    box = LayOutCheckbox(cell, false, 16);
    EXPECT_EQ(box.left, 40 / 2 - 8 - 1);
    EXPECT_EQ(box.Height(), 16);
}
