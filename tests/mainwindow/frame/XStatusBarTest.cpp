#include "mainwindow/XStatusBar.h"

#include "GuiTestSupport.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

namespace
{
class XStatusBarTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "status bar", wxPoint(40, 40), wxSize(480, 240));
        m_bar = new XStatusBar(m_frame);
        m_frame->SetStatusBar(m_bar);
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    // What the indicator pane shows on the screen: the colour class most of
    // its 16 by 16 pixels belong to.
    std::string IndicatorLook(const std::string& shotName)
    {
        wxRect field;
        EXPECT_TRUE(m_bar->GetFieldRect(XStatusBar::kIndicatorPane, field));
        wxPoint centre =
            m_bar->ClientToScreen(wxPoint(field.x + field.width / 2, field.y + field.height / 2));
        wxImage shot = guitest::TakeScreenshot(shotName);
        EXPECT_TRUE(shot.IsOk());
        return guitest::DominantColourClass(shot, wxRect(centre.x - 8, centre.y - 8, 16, 16));
    }

    // The screen colour of the indicator image's top left pixel, which the
    // images leave transparent.
    wxColour IndicatorCorner(const std::string& shotName)
    {
        wxRect field;
        EXPECT_TRUE(m_bar->GetFieldRect(XStatusBar::kIndicatorPane, field));
        wxPoint corner = m_bar->ClientToScreen(
            wxPoint(field.x + (field.width - 16) / 2, field.y + (field.height - 16) / 2));
        wxImage shot = guitest::TakeScreenshot(shotName);
        if (!shot.IsOk())
            return wxColour();
        return wxColour(shot.GetRed(corner.x, corner.y), shot.GetGreen(corner.x, corner.y),
                        shot.GetBlue(corner.x, corner.y));
    }

    wxFrame* m_frame = nullptr;
    XStatusBar* m_bar = nullptr;
};

} // namespace

TEST_F(XStatusBarTest, HasFivePanesWithTheMessageFirstAndTheIndicatorLast)
{
    ASSERT_EQ(m_bar->GetFieldsCount(), XStatusBar::kPaneCount);
    wxRect message, indicator;
    ASSERT_TRUE(m_bar->GetFieldRect(0, message));
    ASSERT_TRUE(m_bar->GetFieldRect(XStatusBar::kIndicatorPane, indicator));
    EXPECT_GT(message.width, m_frame->GetClientSize().x / 2);
    EXPECT_GE(indicator.width, 16) << "the whole 16-pixel image must fit";
    EXPECT_GE(indicator.height, 16);

    m_bar->SetLabel("Checking Feed http://127.0.0.1/feed.xml");
    EXPECT_EQ(m_bar->GetStatusText(0), "Checking Feed http://127.0.0.1/feed.xml");
    EXPECT_EQ(m_bar->GetLabel(), "Checking Feed http://127.0.0.1/feed.xml");
}

TEST_F(XStatusBarTest, IndicatorShowsEachStateAndIgnoresOthers)
{
    m_bar->SetLabel("Ready");
    EXPECT_EQ(m_bar->GetIndicator(), XStatusBar::kIndicatorIdle);
    EXPECT_EQ(IndicatorLook("statusbar-state1"), "green") << "initial state: green dot";

    m_bar->SetIndicator(XStatusBar::kFeedsFound);
    EXPECT_EQ(m_bar->GetIndicator(), 0);
    EXPECT_EQ(IndicatorLook("statusbar-state0"), "orange") << "feeds found: orange symbol";

    m_bar->SetIndicator(XStatusBar::kNoFeeds);
    EXPECT_EQ(m_bar->GetIndicator(), 2);
    EXPECT_EQ(IndicatorLook("statusbar-state2"), "grey") << "no feeds: grey dot";

    // The images stand on white, not on the bar's face colour.
    m_frame->SetBackgroundColour(wxColour(90, 60, 120));
    m_bar->SetBackgroundColour(wxColour(90, 60, 120));
    m_bar->Refresh();
    guitest::RunEventsFor(200);
    EXPECT_EQ(IndicatorCorner("statusbar-white").GetAsString(wxC2S_HTML_SYNTAX), "#FFFFFF");

    m_bar->SetIndicator(3);
    m_bar->SetIndicator(-1);
    EXPECT_EQ(m_bar->GetIndicator(), 2) << "out-of-range states are ignored";
}

TEST_F(XStatusBarTest, LockKeyPanesFollowTheKeyboard)
{
    wxUIActionSimulator keyboard;
    m_frame->Raise();
    bool capsWasOn = wxGetKeyState(WXK_CAPITAL);
    keyboard.Char(WXK_CAPITAL);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return wxGetKeyState(WXK_CAPITAL) != capsWasOn; }))
        << "the X server did not toggle Caps Lock";
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return m_bar->GetStatusText(1) == (capsWasOn ? "" : "CAP"); }));

    keyboard.Char(WXK_CAPITAL);
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return m_bar->GetStatusText(1) == (capsWasOn ? "CAP" : ""); }));
    EXPECT_EQ(m_bar->GetStatusText(3), wxGetKeyState(WXK_SCROLL) ? "SCRL" : "");
}

TEST_F(XStatusBarTest, ABurstOfTextsPaintsTheMessagePaneAFewTimesAndEndsOnTheLastText)
{
    m_bar->SetLabel("Ready");
    guitest::RunEventsFor(400);
    int paints = 0;
    wxString painted;
    m_bar->Bind(wxEVT_PAINT,
                [&](wxPaintEvent& event)
                {
                    ++paints;
                    painted = m_bar->GetStatusText(0);
                    event.Skip();
                });

    // As an update pass over a big list sets them: one text per feed.
    constexpr int kTexts = 10000;
    wxString last;
    for (int i = 0; i < kTexts; ++i)
    {
        last = wxString::Format("Checking Feed http://127.0.0.1/feed/%d", i);
        m_bar->SetStatusText(last, 0);
    }
    EXPECT_EQ(m_bar->GetStatusText(0), last) << "the bar holds the newest text at once";
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return painted == last; }))
        << "the last text reaches the screen";
    guitest::RunEventsFor(600); // room for a paint that would come late
    EXPECT_EQ(painted, last);
    EXPECT_LE(paints, 20) << "texts replaced before their turn are never painted";

    // A single text later on still shows, without waiting for another.
    paints = 0;
    m_bar->SetStatusText("Downloading http://127.0.0.1/a.mp3", 0);
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return painted == "Downloading http://127.0.0.1/a.mp3"; }));
    EXPECT_GE(paints, 1);
}
