#include "dialogs/XListCtrl.h"

#include "XListFrameTest.h"

#include <gtest/gtest.h>
#include <vector>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/uiaction.h>

namespace
{
// Two rows under the columns.
class XListCtrlTest : public XListFrameTest
{
protected:
    void SetUp() override
    {
        MakeList("list", "Progress", 160);
        CXListModel& model = m_list->GetModel();
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
        ShowFrame();
    }

    // A cell's centre on the screen.
    wxPoint CellOnScreen(int row, int column) const
    {
        return m_list->GetBody()->ClientToScreen(
            m_list->GetSubItemRect(row, column).GetPosition() +
            wxSize(m_list->GetSubItemRect(row, column).width / 2, m_list->GetRowHeight() / 2));
    }

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

// A file name cut by its column shows whole in the cell's tip: the tool is
// the cell under the mouse (row x 1000 + column + 1); a cell without a tip
// shows none, and a tip holds at most 80 characters.
TEST_F(XListCtrlTest, CutCellShowsItsWholeTextAsToolTip)
{
    CXListModel& model = m_list->GetModel();
    wxWindow* body = m_list->GetBody();
    const std::string name = "the-lighthouse-keepers-weekly-conversation-episode-214.mp3";
    model.SetItemText(0, 1, name.c_str());
    model.SetItemToolTip(0, 1, name.c_str());
    {
        wxClientDC dc(body);
        dc.SetFont(m_list->GetFont());
        ASSERT_GT(dc.GetTextExtent(name).x, m_list->GetSubItemRect(0, 1).width);
    }
    auto inCell = [&](int row, int column)
    { return m_list->GetSubItemRect(row, column).GetPosition() + wxSize(20, m_list->GetRowHeight() / 2); };
    EXPECT_EQ(m_list->OnToolHitTest(inCell(0, 1)), 2);
    EXPECT_EQ(m_list->OnToolHitTest(inCell(1, 2)), 1003);
    EXPECT_EQ(m_list->OnToolHitTest(inCell(1, 1) + wxSize(0, m_list->GetRowHeight() * 2)), -1);

    wxUIActionSimulator mouse;
    guitest::RunEventsFor(100);
    mouse.MouseMove(body->ClientToScreen(inCell(0, 1)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return body->GetToolTipText() == name; }))
        << body->GetToolTipText();
    EXPECT_EQ(std::string(m_list->OnToolTipText(2).c_str()), name);
    EXPECT_EQ(std::string(m_list->OnToolTipText(0).c_str()), "");

    mouse.MouseMove(body->ClientToScreen(inCell(1, 1)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return body->GetToolTipText().empty(); }));

    const std::string longer(100, 'x');
    model.SetItemToolTip(0, 2, longer.c_str());
    mouse.MouseMove(body->ClientToScreen(inCell(0, 2)));
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !body->GetToolTipText().empty(); }));
    EXPECT_EQ(body->GetToolTipText(), longer.substr(0, 80));
}

// Without rows the list says so below the header, wrapped to its width and
// each line centred.
TEST_F(XListCtrlTest, EmptyListTextIsWrappedAndCentred)
{
    m_list->GetModel().DeleteAllItems();
    m_frame->SetClientSize(180, 200);
    guitest::RunEventsFor(200);
    const wxSize size = m_list->GetBody()->GetClientSize();
    wxBitmap bitmap(size, 24);
    std::vector<wxString> lines;
    wxImage image;
    {
        wxMemoryDC dc(bitmap);
        lines = m_list->EmptyTextLines(dc);
        ASSERT_GE(lines.size(), 2u);
        wxString joined;
        for (const wxString& line : lines)
        {
            EXPECT_LE(dc.GetTextExtent(line).x, size.x) << line;
            joined += (joined.empty() ? "" : " ") + line;
        }
        EXPECT_EQ(joined, "There are no items to show in this view.");
        m_list->DrawRows(dc, wxRect(size));
    }
    image = bitmap.ConvertToImage();
    auto dark = [&](int x, int y)
    { return image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) < 300; };
    int top = -1;
    int bottom = -1;
    int left = size.x;
    int right = -1;
    for (int y = 0; y < size.y; ++y)
    {
        for (int x = 0; x < size.x; ++x)
        {
            if (!dark(x, y))
                continue;
            if (top == -1)
                top = y;
            bottom = y;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_NE(top, -1);
    EXPECT_GE(top, 10);
    // More than one line high, and the widest line centred.
    EXPECT_GT(bottom - top, m_list->GetBody()->GetCharHeight() + 2);
    EXPECT_LE(std::abs(left - (size.x - 1 - right)), 4) << left << " " << right;
}
