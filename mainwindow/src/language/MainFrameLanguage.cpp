// The frame's interface language: the choice at creation, the Language
// sub-menu, and the menu bar rebuilt and the tool bars' texts read again
// after a pick.
#include "CommandIds.h"
#include "common/MenuBuilder.h"
#include "common/ToolBarButtons.h"
#include "downloads/DownloadManager.h"
#include "feeds/Preference.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/WindowTranslator.h"
#include "mainwindow/XStatusBar.h"

#include <wx/menu.h>

// Before any window exists, so that everything built after it is translated.
void CMainFrame::ChooseLanguage()
{
    ui::InstallWindowTranslator();
    std::string folder = std::string(m_preference->GetProgramDir().c_str()) + "/languages";
    m_languageSelector = std::make_shared<CLanguageSelector>(folder, m_profile);
    m_languageSelector->ChooseLanguage();
}

// wx hangs no sub-menu on a plain entry: the Language entry is replaced by a
// sub-menu entry of the same command and text, filled with the languages.
void CMainFrame::InstallLanguageMenu()
{
    if (!m_languageEventsBound)
    {
        Bind(wxEVT_MENU_OPEN, &CMainFrame::OnMenuOpenEvent, this);
        m_languageEventsBound = true;
    }
    m_languageMenu = nullptr;
    wxMenuBar* bar = GetMenuBar();
    if (bar == nullptr)
        return;
    wxMenu* owner = nullptr;
    wxMenuItem* item = bar->FindItem(ui::MenuCommandId(resources::cmd::kLanguage), &owner);
    if (item == nullptr || owner == nullptr)
        return;
    size_t position = 0;
    for (wxMenuItem* entry : owner->GetMenuItems())
    {
        if (entry == item)
            break;
        ++position;
    }
    wxString label = item->GetItemLabel();
    owner->Destroy(item);
    m_languageMenu = new wxMenu;
    owner->Insert(position, ui::MenuCommandId(resources::cmd::kLanguage), label, m_languageMenu);
    FillLanguageMenu();
}

// The folder is listed again each time a menu of the bar opens, so that a
// catalog added while the program runs shows up.
void CMainFrame::FillLanguageMenu()
{
    if (m_languageMenu != nullptr)
        m_languageSelector->BuildLanguageMenu(*m_languageMenu);
}

void CMainFrame::OnMenuOpenEvent(wxMenuEvent& event)
{
    // Not while the language sub-menu itself is open: its items are in use.
    if (event.GetMenu() != m_languageMenu)
        FillLanguageMenu();
    event.Skip();
}

// The toolkit asks for the state of the bar's entries whenever it is idle:
// the entry stays usable, and its sub-menu is filled when a menu opens, never
// under an open sub-menu.
void CMainFrame::OnUpdateLanguage(wxUpdateUIEvent& event)
{
    event.Enable(m_languageMenu != nullptr);
}

bool CMainFrame::OnLanguageCommand(int command)
{
    if (command < resources::cmd::kFirstLanguage || command > resources::cmd::kLastLanguage)
        return false;
    const wxString idleText = IdleText();
    if (m_languageSelector->SelectLanguage(command))
    {
        // The menu that sent the command is still in use until it returns.
        CallAfter(&CMainFrame::RebuildMenuBar);
        ReadBarTexts(idleText);
    }
    return true;
}

// The tool bars' tips and prompts are read again: they follow the language
// at once, while other windows keep their texts until built again.
void CMainFrame::ReadBarTexts(const wxString& previousIdleText)
{
    if (m_mainToolBar != nullptr)
        ui::ReadToolTexts(*m_mainToolBar, resources::id::kMainMenu);
    if (m_searchToolBar != nullptr)
        ui::ReadToolTexts(*m_searchToolBar, resources::id::kSearchToolBar);
    if (m_browserFrame != nullptr)
        m_browserFrame->ReadToolTexts();
    if (m_statusBar != nullptr && m_statusBar->GetStatusText(0) == previousIdleText)
        ShowStatusText(IdleText());
}

// The menu bar and the window's keys again, in the language now current.
void CMainFrame::RebuildMenuBar()
{
    wxMenuBar* old = GetMenuBar();
    SetMenuBar(ui::BuildMenuBar(resources::id::kMainMenu).release());
    delete old;
    InstallLanguageMenu();
    if (m_downloadManager && !m_downloadManager->HasTorrentEngine())
        RemoveMenuEntry(3, resources::cmd::kTorrentManager);
    std::vector<wxAcceleratorEntry> keys =
        ui::AcceleratorsOutsideMenu(resources::id::kMainMenu, resources::id::kMainMenu);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
}

const CLanguageSelector* CMainFrame::GetLanguageSelector() const
{
    return m_languageSelector.get();
}
