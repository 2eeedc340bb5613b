#include "mainwindow/TaskbarNotifier.h"

#include "GuiTestSupport.h"
#include "mainwindow/WindowMessage.h"

#include <gtest/gtest.h>
#include <vector>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/uiaction.h>

using notifier::State;

namespace
{
constexpr int kSkinId = 179;
constexpr int kSkinWidth = 203;
constexpr int kSkinHeight = 163;
const char* const kThreeTitles = "Kestrova 0.1 released\n"
                                 "Podcast: a long episode title that needs more than one line\n"
                                 "Third new item\n";

// The hidden main window, and the notifier set up as the main window sets it up.
class TaskbarNotifierTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_owner = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(100, 100), wxSize(300, 200));
        m_owner->Bind(ui::EVT_WINDOW_MESSAGE,
                      [this](ui::CWindowMessageEvent& event) {
                          m_messages.push_back({event.Message(), event.WParam(), event.LParam()});
                      });
        m_notifier = new CTaskbarNotifier;
        ASSERT_TRUE(m_notifier->Create(m_owner));
        ASSERT_TRUE(m_notifier->SetSkin(kSkinId, -1, -1, -1));
        m_notifier->SetTextFont("Arial", 90, 0, CTaskbarNotifier::kUnderline);
        m_notifier->SetTextColor(*wxBLACK, wxColour(0, 0, 200));
        m_notifier->SetTextRect(10, 40, kSkinWidth - 10, kSkinHeight - 25);
        m_work = wxDisplay().GetClientArea();
    }
    void TearDown() override { guitest::DestroyWindow(m_owner); }

    bool WaitForState(State state, int maxMs = 5000)
    {
        return guitest::RunEventsUntil([&] { return m_notifier->GetState() == state; }, maxMs);
    }

    // Pixels of the text area darker than the skin and matching a colour test.
    int CountTextPixels(const wxImage& shot, bool (*matches)(int r, int g, int b))
    {
        wxRect text = m_notifier->GetTextRect();
        text.Offset(m_notifier->GetPosition());
        int count = 0;
        for (int y = text.y; y < text.GetBottom(); ++y)
            for (int x = text.x; x < text.GetRight(); ++x)
                count += matches(shot.GetRed(x, y), shot.GetGreen(x, y), shot.GetBlue(x, y));
        return count;
    }

    struct Message
    {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    wxFrame* m_owner = nullptr;
    CTaskbarNotifier* m_notifier = nullptr;
    wxRect m_work;
    std::vector<Message> m_messages;
};

bool IsBlackText(int r, int g, int b)
{
    return r < 90 && g < 90 && b < 90;
}
bool IsBlueText(int r, int g, int b)
{
    return b > 120 && r < 110 && g < 110;
}
} // namespace

TEST_F(TaskbarNotifierTest, RisesAtTheBottomRightShowsTheTitlesAndEndsClosed)
{
    m_notifier->Show(kThreeTitles, 0, 500, 3000, 500);
    EXPECT_TRUE(m_notifier->IsShown());
    ASSERT_TRUE(WaitForState(State::Waiting)) << "it never finished rising";

    // Without a panel the work area is the screen: the bottom right corner.
    wxPoint at = m_notifier->GetPosition();
    EXPECT_EQ(at.x, m_work.GetRight() + 1 - kSkinWidth);
    EXPECT_LE(at.y + kSkinHeight, m_work.GetBottom() + 1);
    EXPECT_GE(at.y + kSkinHeight, m_work.GetBottom());
    EXPECT_EQ(m_notifier->GetSize(), wxSize(kSkinWidth, kSkinHeight));

    wxImage shot = guitest::TakeScreenshot("notifier-three-lines");
    ASSERT_TRUE(shot.IsOk());
    wxColour header = guitest::MeanColour(shot, wxRect(at.x + 120, at.y + 4, 60, 6));
    EXPECT_GT(header.Blue(), header.Red() + 40) << "the skin's blue header band";
    EXPECT_GT(CountTextPixels(shot, IsBlackText), 150) << "black text in the text area";
    EXPECT_EQ(CountTextPixels(shot, IsBlueText), 0) << "no hover colour while the mouse is away";

    // The stay, the slide back, and the window is gone.
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&] { return m_notifier->GetState() == State::Idle && !m_notifier->IsShown(); }, 10000));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(TaskbarNotifierTest, HoverUnderlinesInBlueAndAClickPostsRestoreWithTheValue)
{
    m_notifier->Show(kThreeTitles, 42, 300, 60000, 300);
    ASSERT_TRUE(WaitForState(State::Waiting));
    wxRect frame = m_notifier->GetScreenRect();

    wxUIActionSimulator mouse;
    mouse.MouseMove(frame.x + frame.width / 2, frame.y + frame.height / 2);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_notifier->IsHovering(); }));
    wxImage hovered = guitest::TakeScreenshot("notifier-hover");
    EXPECT_GT(CountTextPixels(hovered, IsBlueText), 150) << "hover colour RGB(0, 0, 200)";

    mouse.MouseClick(wxMOUSE_BTN_LEFT);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !m_messages.empty(); }));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].message, WM_APP_RESTOREWINDOW);
    EXPECT_EQ(m_messages[0].wParam, 0u);
    EXPECT_EQ(m_messages[0].lParam, 42);

    mouse.MouseMove(10, 10);
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return !m_notifier->IsHovering(); }));
    m_notifier->Hide();
    EXPECT_EQ(m_notifier->GetState(), State::Idle);
    guitest::RunEventsFor(300);
    EXPECT_FALSE(m_notifier->IsShown()) << "no timer brings it back";
}

TEST_F(TaskbarNotifierTest, AKeyColourIsCutOutOfTheWindowAndAMissingSkinRefused)
{
    EXPECT_FALSE(m_notifier->SetSkin(9999));
    EXPECT_EQ(m_notifier->GetSize(), wxSize(kSkinWidth, kSkinHeight)) << "the old skin is kept";

    // The orange rule under the skin's header band.
    ASSERT_TRUE(m_notifier->SetSkin(kSkinId, 240, 150, 40));
    EXPECT_EQ(m_notifier->GetTextRect(), wxRect(0, 0, kSkinWidth, kSkinHeight))
        << "a new skin is all text area";
    m_notifier->SetTextRect(10, 40, kSkinWidth - 10, kSkinHeight - 25);
    m_notifier->Show("shaped", 0, 200, 60000, 200);
    ASSERT_TRUE(WaitForState(State::Waiting));
    wxPoint at = m_notifier->GetPosition();
    wxImage shot = guitest::TakeScreenshot("notifier-shaped");
    ASSERT_TRUE(shot.IsOk());
    wxColour rule = guitest::MeanColour(shot, wxRect(at.x + 20, at.y + 34, 160, 2));
    EXPECT_LT(rule.Red(), 100) << "the desktop shows through where the key colour was";
    wxColour header = guitest::MeanColour(shot, wxRect(at.x + 120, at.y + 4, 60, 6));
    EXPECT_GT(header.Blue(), header.Red() + 40) << "the rest of the skin stays";
}
