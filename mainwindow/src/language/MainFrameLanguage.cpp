// The frame's interface language: the choice at creation, the Language
// sub-menu and the menu bar rebuilt after a pick.
#include "CommandIds.h"
#include "downloads/DownloadManager.h"
#include "feeds/Preference.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/MainFrame.h"
#include "common/MenuBuilder.h"
#include "mainwindow/WindowTranslator.h"

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

// The folder is listed again each time, so that a catalog added while the
// program runs shows up.
void CMainFrame::FillLanguageMenu()
{
    if (m_languageMenu == nullptr)
        return;
    m_languageSelector->RefreshLanguages();
    const std::vector<std::uint16_t>& languages = m_languageSelector->GetLanguages();
    while (m_languageMenu->GetMenuItemCount() > 0)
        m_languageMenu->Destroy(m_languageMenu->FindItemByPosition(0));
    for (size_t i = 0; i < languages.size(); ++i)
    {
        wxMenuItem* entry =
            m_languageMenu->AppendRadioItem(CLanguageSelector::kFirstCommand + static_cast<int>(i),
                                            wxString::FromUTF8(CLanguageSelector::DisplayName(languages[i])));
        if (languages[i] == m_languageSelector->GetCurrentLanguage())
            entry->Check();
    }
}

void CMainFrame::OnMenuOpenEvent(wxMenuEvent& event)
{
    // Not while the language sub-menu itself is open: its items are in use.
    if (event.GetMenu() != m_languageMenu)
        FillLanguageMenu();
    event.Skip();
}

bool CMainFrame::OnLanguageCommand(int command)
{
    if (command < resources::cmd::kFirstLanguage || command > resources::cmd::kLastLanguage)
        return false;
    if (m_languageSelector->SelectLanguage(command))
    {
        // The menu that sent the command is still in use until it returns.
        CallAfter(&CMainFrame::RebuildMenuBar);
    }
    return true;
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
