#include "dialogs/XListCtrl.h"

#include "GuiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>

namespace
{
// A list in a frame: a check-box column with a header check box, a text
// column and a progress column; two rows.
class XListCtrlTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "list", wxPoint(30, 30), wxSize(520, 300));
        m_list = new CXListCtrl(m_frame, 1083);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_list, 1, wxEXPAND);
        m_frame->SetSizer(sizer);
        CXListModel& model = m_list->GetModel();
        model.InsertColumn(0, "", kAlignCentre, 40);
        model.InsertColumn(1, "File", kAlignLeft, 200);
        model.InsertColumn(2, "Progress", kAlignCentre, 160);
        model.SetHeaderCheckedState(0, kHeaderUnchecked);
        for (int row = 0; row < 2; ++row)
        {
            model.InsertItem(row, "");
            model.SetCheckbox(row, 0, 0);
            model.SetItemText(row, 1, row == 0 ? "show.mp3" : "talk.mp3");
        }
        m_frame->Bind(EVT_XLIST_CHECKBOX_CLICKED, [this](CXListEvent& event)
                      { m_checked.emplace_back(event.GetRow(), event.GetColumn()); });
        m_frame->Bind(EVT_XLIST_COLUMN_CLICK,
                      [this](CXListEvent& event) { m_columnClicks.push_back(event.GetColumn()); });
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        guitest::RunEventsFor(200);
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    // A cell's centre on the screen.
    wxPoint CellOnScreen(int row, int column) const
    {
        return m_list->GetBody()->ClientToScreen(
            m_list->GetSubItemRect(row, column).GetPosition() +
            wxSize(m_list->GetSubItemRect(row, column).width / 2, m_list->GetRowHeight() / 2));
    }

    wxFrame* m_frame = nullptr;
    CXListCtrl* m_list = nullptr;
    std::vector<std::pair<int, int>> m_checked;
    std::vector<int> m_columnClicks;
};
} // namespace

// The bar of a 40 % cell ends where the percent says: a pixel inside it has
// the highlight colour, one past its end the cell's light grey.
TEST_F(XListCtrlTest, ProgressCellPaintsItsBarToThePercent)
{
    CXListModel& model = m_list->GetModel();
    model.SetProgress(0, 2, true);
    model.UpdateProgress(0, 2, 40);
    const wxRect cell = m_list->GetSubItemRect(0, 2);
    wxBitmap bitmap(cell.GetRight() + 1, cell.GetBottom() + 1, 24);
    {
        wxMemoryDC dc(bitmap);
        m_list->DrawRows(dc, wxRect(bitmap.GetSize()));
    }
    const wxImage image = bitmap.ConvertToImage();
    const XProgressLayout layout =
        LayOutProgress({cell.x, cell.y, cell.GetRight() + 1, cell.GetBottom() + 1}, 40);
    ASSERT_EQ(layout.bar.Width(), (cell.width - 5) * 40 / 100);
    const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    auto pixel = [&](int x, int y)
    { return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)); };
    const int y = layout.bar.top + 1; // above the centred text
    EXPECT_EQ(pixel(layout.bar.left + 1, y), highlight);
    EXPECT_EQ(pixel(layout.bar.right - 1, y), highlight);
    EXPECT_EQ(pixel(layout.bar.right + 1, y), wxColour(224, 224, 224));
    EXPECT_NE(pixel(layout.bar.right + 1, y), highlight);
}

// A click on a check box toggles it, tells the parent and selects the row;
// a click on the header's check box checks the whole column.
TEST_F(XListCtrlTest, ClicksToggleCheckBoxesAndSelect)
{
    CXListModel& model = m_list->GetModel();
    guitest::ClickAt(CellOnScreen(1, 0));
    EXPECT_EQ(model.GetCheckbox(1, 0), 1);
    EXPECT_EQ(model.GetSelection(), 1);
    EXPECT_EQ(m_checked, (std::vector<std::pair<int, int>>{{1, 0}}));
    // A text cell selects without toggling anything.
    guitest::ClickAt(CellOnScreen(0, 1));
    EXPECT_EQ(model.GetSelection(), 0);
    EXPECT_EQ(model.GetCheckbox(0, 1), -1);
    EXPECT_EQ(m_checked.size(), 1u);

    wxHeaderCtrlEvent click(wxEVT_HEADER_CLICK, m_list->GetHeader()->GetId());
    click.SetColumn(0);
    click.SetEventObject(m_list->GetHeader());
    m_list->GetHeader()->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(model.CountCheckedItems(0), 2);
    EXPECT_EQ(model.GetHeaderCheckedState(0), kHeaderChecked);
    click.SetColumn(1);
    m_list->GetHeader()->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(m_columnClicks, (std::vector<int>{0, 1}));
}
