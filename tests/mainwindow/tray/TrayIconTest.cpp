#include "mainwindow/TrayIcon.h"

#include "FakeTrayHost.h"
#include "GuiTestSupport.h"
#include "mainwindow/WindowMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace
{
constexpr int kIconId = 128;
constexpr int kTrayMenuId = 156;
constexpr int kRestoreCommand = 157;
const char* const kTip = "Kestrova\nVaviDozoze/RuvIvivod";

struct Message
{
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// The hidden main window: records the private messages and commands it gets.
class TrayIconTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_owner = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(400, 300), wxSize(300, 200));
        m_owner->Bind(ui::EVT_WINDOW_MESSAGE,
                      [this](ui::CWindowMessageEvent& event) {
                          m_messages.push_back({event.Message(), event.WParam(), event.LParam()});
                      });
        m_owner->Bind(wxEVT_MENU, [this](wxCommandEvent& event) { m_commands.push_back(event.GetId()); });
    }
    void TearDown() override { guitest::DestroyWindow(m_owner); }

    wxFrame* m_owner = nullptr;
    std::vector<Message> m_messages;
    std::vector<int> m_commands;
};

class RecordingHandler : public CTrayIconHandler
{
public:
    RecordingHandler(wxWindow* owner, unsigned trigger, std::string name, std::vector<std::string>& log)
        : CTrayIconHandler(owner, 0, trigger), m_name(std::move(name)), m_log(log)
    {
    }
    void Handle(CTrayIcon&) override { m_log.push_back(m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};
} // namespace

TEST_F(TrayIconTest, DefaultTableRestoresOnDoubleClickOfThisIconOnly)
{
    CTrayIcon icon(m_owner, kIconId, kTrayMenuId, kTip);
    icon.Dispatch(kIconId + 1, CTrayIconHandler::kLeftDoubleClick);
    icon.Dispatch(kIconId, CTrayIconHandler::kLeftButtonUp);
    EXPECT_TRUE(m_messages.empty()) << "another icon's double-click or a single click does nothing";

    EXPECT_EQ(icon.Dispatch(kIconId, CTrayIconHandler::kLeftDoubleClick), 0);
    ASSERT_EQ(m_messages.size(), 1u) << "sent, so handled before Dispatch returns";
    EXPECT_EQ(m_messages[0].message, WM_APP_RESTOREWINDOW);
}

TEST_F(TrayIconTest, GivenTableReplacesTheDefaultAndRunsInOrder)
{
    std::vector<std::string> log;
    CTrayIcon::HandlerTable table;
    table.push_back(
        std::make_unique<RecordingHandler>(m_owner, CTrayIconHandler::kLeftButtonUp, "first", log));
    table.push_back(
        std::make_unique<RecordingHandler>(m_owner, CTrayIconHandler::kRightButtonUp, "other", log));
    table.push_back(
        std::make_unique<RecordingHandler>(m_owner, CTrayIconHandler::kLeftButtonUp, "second", log));
    CTrayIcon icon(m_owner, kIconId, kTrayMenuId, kTip, std::move(table));

    icon.Dispatch(kIconId, CTrayIconHandler::kLeftButtonUp);
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
    icon.Dispatch(kIconId, CTrayIconHandler::kLeftDoubleClick);
    EXPECT_TRUE(m_messages.empty()) << "the default table is not added to a given one";
}

TEST_F(TrayIconTest, InANotificationAreaClicksOnTheIconRestoreAndOpenTheMenu)
{
    FakeTrayHost tray;
    ASSERT_TRUE(tray.IsRunning());
    ASSERT_TRUE(guitest::RunEventsUntil([] { return wxTaskBarIcon::IsAvailable(); }));

    CTrayIcon icon(m_owner, kIconId, kTrayMenuId, kTip);
    ASSERT_TRUE(icon.Add());
    EXPECT_TRUE(icon.IsShown());
    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            tray.Pump();
            return tray.DockedCount() == 1;
        }))
        << "the icon never asked to dock";
    guitest::RunEventsFor(300);

    wxUIActionSimulator mouse;
    mouse.MouseMove(tray.IconCentre(0));
    guitest::RunEventsFor(100);
    // GTK reports a single click as activation; that restores the window.
    mouse.MouseClick(wxMOUSE_BTN_LEFT);
    guitest::RunEventsUntil([&] { return !m_messages.empty(); });
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].message, WM_APP_RESTOREWINDOW);

    // The menu runs its own loop; pick its first entry from the keyboard.
    wxTimer picker;
    picker.Bind(wxEVT_TIMER,
                [](wxTimerEvent&)
                {
                    wxUIActionSimulator keys;
                    keys.Char(WXK_DOWN);
                    keys.Char(WXK_RETURN);
                });
    picker.StartOnce(500);
    mouse.MouseClick(wxMOUSE_BTN_RIGHT);
    guitest::RunEventsUntil([&] { return !m_commands.empty(); });
    ASSERT_EQ(m_commands.size(), 1u) << "the menu's command reaches the window, not only the icon";
    EXPECT_EQ(m_commands[0], kRestoreCommand);

    EXPECT_TRUE(icon.Remove());
    EXPECT_FALSE(icon.IsShown());
    EXPECT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            tray.Pump();
            return tray.DockedCount() == 0;
        }))
        << "the icon left the tray";
}
