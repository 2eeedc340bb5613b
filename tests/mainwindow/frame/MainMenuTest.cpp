#include "Accelerators.h"
#include "Menus.h"
#include "ToolBars.h"
#include "common/MenuBuilder.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

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

TEST(MainMenu, MenuBarBuildsWithoutBindingTheBareDeleteKey)
{
    // A wx assertion (an id wx refuses) fails the test on its own.
    std::unique_ptr<wxMenuBar> bar = ui::BuildMenuBar(128);
    ASSERT_TRUE(bar);
    wxMenuItem* erase = bar->FindItem(ui::MenuCommandId(32774));
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(erase->GetItemLabel(), "Delete") << "Delete belongs to the panes that use it";
    EXPECT_FALSE(ui::BuildMenuBar(9999));
}
