#include "XListFrameTest.h"
#include "dialogs/MemoryDC.h"
#include "dialogs/XListCtrl.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/uiaction.h>

namespace
{
const wxColour kMagenta(255, 0, 255);

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

bool IsCaptionBlue(const wxColour& colour)
{
    return colour.Blue() > 180 && colour.Red() < 100 && colour.Green() < 100;
}

// The leftmost and rightmost x of caption-blue pixels within [left, right);
// -1, -1 when there are none.
std::pair<int, int> BlueSpan(const wxImage& image, int left, int right)
{
    int first = -1;
    int last = -1;
    for (int x = std::max(left, 0); x < std::min(right, image.GetWidth()); ++x)
    {
        for (int y = 0; y < image.GetHeight(); ++y)
        {
            if (IsCaptionBlue(Pixel(image, x, y)))
            {
                if (first == -1)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

// The progress column has a long caption.
class XHeaderCtrlTest : public XListFrameTest
{
protected:
    void SetUp() override
    {
        MakeList("header", "Progress of the transfer", 200);
        ShowFrame();
    }

    CXHeaderCtrl& Header() { return *m_list->GetHeader(); }

    // The header painted by its own code into a bitmap, which is first
    // filled with magenta (and clipped to clip when it is not empty).
    wxImage PaintHeader(const wxRect& clip = wxRect())
    {
        wxBitmap bitmap(Header().GetClientSize(), 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(kMagenta));
            dc.Clear();
            if (!clip.IsEmpty())
                dc.SetClippingRegion(clip);
            Header().DoPaint(dc);
        }
        return bitmap.ConvertToImage();
    }

    wxImageList m_images{16, 16, false, 2};
};
} // namespace

// Captions are blue and centred; each boundary between displayed items has a
// shadow line left of a highlight line; the last item has none; a frame runs
// round all the items.
TEST_F(XHeaderCtrlTest, PaintsBlueCaptionsEtchedDividersAndAFrame)
{
    const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE);
    const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW);
    const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT);
    ASSERT_NE(shadow, highlight);
    ASSERT_NE(shadow, face);

    const wxImage image = PaintHeader();
    const XHeaderLayout layout = Header().GetLayout();
    ASSERT_EQ(layout.positions.size(), 3u);
    const int middle = image.GetHeight() / 2;
    const XListRect file = layout.positions[1].rect;

    const auto [first, last] = BlueSpan(image, file.left, file.right);
    ASSERT_NE(first, -1) << "no blue caption";
    EXPECT_LE(std::abs((first - file.left) - (file.right - 1 - last)), 3) << first << " " << last;

    EXPECT_EQ(Pixel(image, file.right - 1, middle), shadow);
    EXPECT_EQ(Pixel(image, file.right, middle), highlight);
    EXPECT_EQ(Pixel(image, layout.positions[0].rect.right - 1, middle), shadow);
    EXPECT_EQ(Pixel(image, layout.positions[0].rect.right, middle), highlight);
    // Past the last item: face, no highlight line; its right edge is the
    // frame's shadow.
    const int end = layout.positions[2].rect.right;
    ASSERT_LT(end, image.GetWidth());
    EXPECT_EQ(Pixel(image, end, middle), face);
    EXPECT_EQ(Pixel(image, end - 1, middle), shadow);
    // The frame: highlight top and left, shadow bottom.
    EXPECT_EQ(Pixel(image, 0, middle), highlight);
    EXPECT_EQ(Pixel(image, file.left + 3, 0), highlight);
    EXPECT_EQ(Pixel(image, file.left + 3, image.GetHeight() - 1), shadow);
    EXPECT_EQ(Pixel(image, end + 2, middle), face);
}

// A caption wider than its column is cut with "..." and stays centred
// inside the column's margins; a wide column shows it whole.
TEST_F(XHeaderCtrlTest, NarrowColumnCutsItsCaptionWithAnEllipsis)
{
    const wxString caption = "Progress of the transfer";
    {
        wxBitmap bitmap(10, 10, 24);
        wxMemoryDC dc(bitmap);
        dc.SetFont(Header().GetFont());
        EXPECT_EQ(CXHeaderCtrl::FitCaption(dc, caption, 188), caption);
        const wxString cut = CXHeaderCtrl::FitCaption(dc, caption, 60 - 12);
        EXPECT_TRUE(cut.EndsWith("...")) << cut;
        EXPECT_TRUE(caption.StartsWith(cut.Left(cut.length() - 3))) << cut;
        EXPECT_LE(dc.GetTextExtent(cut).x, 48);
    }

    m_list->GetModel().SetColumnWidth(2, 60);
    const wxImage image = PaintHeader();
    const XListRect progress = Header().GetLayout().positions[2].rect;
    const int inner = progress.left + Header().GetSpacing();
    const int innerRight = progress.right - Header().GetSpacing();
    const auto [first, last] = BlueSpan(image, progress.left, image.GetWidth());
    ASSERT_NE(first, -1);
    EXPECT_GE(first, inner);
    EXPECT_LT(last, innerRight);
    EXPECT_LE(std::abs((first - inner) - (innerRight - 1 - last)), 3) << first << " " << last;
}

// Image 0 stands for "no check box" and is never drawn, even when the list
// holds a picture there; image 1 is drawn at the item's left.
TEST_F(XHeaderCtrlTest, ImageZeroIsNeverDrawn)
{
    for (const wxColour& colour : {*wxRED, *wxGREEN})
    {
        wxBitmap bitmap(16, 16, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(colour));
            dc.Clear();
        }
        m_images.Add(bitmap);
    }
    Header().SetImageList(&m_images);
    auto count = [](const wxImage& image, const wxColour& colour)
    {
        int found = 0;
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < 40; ++x)
                found += Pixel(image, x, y) == colour ? 1 : 0;
        return found;
    };
    wxImage image = PaintHeader();
    EXPECT_GT(count(image, *wxGREEN), 100);
    EXPECT_EQ(count(image, *wxRED), 0);
    EXPECT_EQ(Pixel(image, Header().GetSpacing() + 1, image.GetHeight() / 2), *wxGREEN);

    m_list->GetModel().SetHeaderCheckedState(0, kHeaderNoCheckbox);
    image = PaintHeader();
    EXPECT_EQ(count(image, *wxGREEN), 0);
    EXPECT_EQ(count(image, *wxRED), 0);
}

// Only the clip box is painted; the frame is still drawn over every column
// where the clip box meets it.
TEST_F(XHeaderCtrlTest, PaintingPartOfTheHeaderLeavesTheRest)
{
    const XListRect file = Header().GetLayout().positions[1].rect;
    const wxRect clip(file.right - 20, 0, 40, Header().GetClientSize().y);
    const wxImage image = PaintHeader(clip);
    const int middle = image.GetHeight() / 2;
    EXPECT_EQ(Pixel(image, clip.x - 1, middle), kMagenta);
    EXPECT_EQ(Pixel(image, clip.GetRight() + 1, middle), kMagenta);
    EXPECT_EQ(Pixel(image, 0, middle), kMagenta);
    EXPECT_EQ(Pixel(image, file.right - 1, middle), wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW));
    EXPECT_EQ(Pixel(image, file.right + 5, 0), wxSystemSettings::GetColour(wxSYS_COLOUR_3DHIGHLIGHT));
    EXPECT_EQ(Pixel(image, file.right + 5, middle), wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE));
}

// Drawing goes off-screen in the target's own coordinates and reaches the
// target only inside its clip box, when the memory DC goes.
TEST(MemoryDCTest, CopiesTheClipBoxToTheTargetOnDestruction)
{
    wxBitmap bitmap(60, 40, 24);
    {
        wxMemoryDC target(bitmap);
        target.SetBackground(wxBrush(kMagenta));
        target.Clear();
        target.SetClippingRegion(wxRect(10, 5, 30, 20));
        {
            CMemoryDC memory(target);
            ASSERT_TRUE(memory.IsOffScreen());
            EXPECT_EQ(memory.GetRect(), wxRect(10, 5, 30, 20));
            wxDC& dc = memory.GetDC();
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(*wxGREEN_BRUSH);
            dc.DrawRectangle(0, 0, 60, 40);
            dc.SetBrush(*wxBLUE_BRUSH);
            dc.DrawRectangle(12, 7, 1, 1);
        }
    }
    const wxImage image = bitmap.ConvertToImage();
    EXPECT_EQ(Pixel(image, 12, 7), *wxBLUE);
    EXPECT_EQ(Pixel(image, 13, 7), *wxGREEN);
    EXPECT_EQ(Pixel(image, 39, 24), *wxGREEN);
    EXPECT_EQ(Pixel(image, 9, 7), kMagenta);
    EXPECT_EQ(Pixel(image, 40, 24), kMagenta);
    EXPECT_EQ(Pixel(image, 12, 4), kMagenta);
}
