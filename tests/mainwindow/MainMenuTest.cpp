#include "Accelerators.h"
#include "Menus.h"
#include "ToolBars.h"
#include "mainwindow/MenuBuilder.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace
{
std::set<int> AllCommandIds()
{
    std::set<int> ids;
    for (const resources::MenuTable& menu : resources::kMenus)
        for (const resources::MenuItem& item : menu.items)
            if (item.kind == resources::MenuItemKind::Command)
                ids.insert(item.id);
    for (const resources::Accelerator& accelerator : resources::kAccelerators128)
        ids.insert(accelerator.command);
    for (const resources::ToolBarTable& bar : resources::kToolBars)
        for (const resources::ToolButton& button : bar.buttons)
            if (button.command != 0)
                ids.insert(button.command);
    for (int language = 28416; language <= 28671; ++language)
        ids.insert(language);
    return ids;
}
} // namespace

TEST(MainMenu, EveryCommandGetsAValidWxIdThatLeadsBackToIt)
{
    std::set<int> wxIds;
    for (int command : AllCommandIds())
    {
        int wxId = ui::MenuCommandId(command);
        EXPECT_TRUE(wxId >= 0 && wxId < 0x7fff) << command << " became " << wxId;
        EXPECT_EQ(ui::ResourceCommandId(wxId), command);
        EXPECT_TRUE(wxIds.insert(wxId).second) << command << " shares wx id " << wxId;
    }
    EXPECT_EQ(ui::MenuCommandId(57635), wxID_CUT) << "text fields answer the stock edit ids";
}

TEST(MainMenu, MenuBarHasTheFivePopupsWithKeysInTheirLabelsButNoBareDelete)
{
    // A wx assertion (an id wx refuses) fails the test on its own.
    std::unique_ptr<wxMenuBar> bar = ui::BuildMenuBar(128);
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->GetMenuCount(), 5u);
    EXPECT_EQ(bar->GetMenuLabelText(3), "Tools");

    wxMenuItem* subscribe = bar->FindItem(ui::MenuCommandId(32770));
    ASSERT_NE(subscribe, nullptr);
    EXPECT_EQ(subscribe->GetItemLabel(), "&New Subscription\tCtrl+N");
    wxMenuItem* erase = bar->FindItem(ui::MenuCommandId(32774));
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(erase->GetItemLabel(), "Delete") << "Delete belongs to the panes that use it";
    EXPECT_NE(bar->GetMenu(3)->FindItem(ui::MenuCommandId(243)), nullptr);
    EXPECT_FALSE(ui::BuildMenuBar(9999));
}

TEST(MainMenu, KeysWithoutAMenuEntryGoToTheWindowsOwnTable)
{
    std::vector<std::string> keys;
    for (const wxAcceleratorEntry& entry : ui::AcceleratorsOutsideMenu(128, 128))
        keys.push_back(entry.ToString().utf8_string() + "=" +
                       std::to_string(ui::ResourceCommandId(entry.GetCommand())));
    std::vector<std::string> expected = {
        "Alt+Backspace=57643",
        "Shift+Delete=57635",
        "Ctrl+Insert=57634",
        "Shift+Insert=57637",
        "F5=32822",
        "F6=32823",
        "F7=32824",
        "F8=32825",
        "Ctrl+Tab=32826",
        "Ctrl+Shift+Tab=32827",
    };
    EXPECT_EQ(keys, expected);
}
