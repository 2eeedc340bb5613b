// The frame's desktop steps on the real window: the registration at start,
// the update check and its question.
#include "CommandIds.h"
#include "FrameFixture.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "common/DesktopShell.h"
#include "common/MenuBuilder.h"
#include "mainwindow/AboutDlg.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/ProfileStore.h"
#include "mainwindow/UpdateCheck.h"
#include "mainwindow/WebBrowserFrame.h"
#include "mainwindow/WindowTranslator.h"
#include "support/LocalHttpServer.h"

#include <algorithm>
#include <wx/stattext.h>
#include <wx/toolbar.h>

using testsupport::ReadFileBytes;

namespace
{
class DesktopFrameTest : public FrameFixture
{
protected:
    CMainFrame* MakeProfileFrame()
    {
        m_frame = new CMainFrame(m_profile.get(), NoEngine());
        return m_frame;
    }

    std::unique_ptr<CProfileStore> m_profile = std::make_unique<CProfileStore>(m_home.file("profile.ini"));
};
} // namespace

TEST_F(DesktopFrameTest, AStartRegistersTheProgramAndAskedForUpdateOffersTheDownloadPage)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/version.txt", "major=0\nminor=9\nrelease=8\n", "text/plain");
    server.serveContent("/download", "<html><body><h1>Kestrova 0.9.8 is here</h1></body></html>",
                        "text/html");
    m_profile->WriteProfileString(update::kProfileSection, update::kVersionUrlEntry,
                                  server.url("/version.txt"));
    m_profile->WriteProfileString(update::kProfileSection, update::kDownloadPageEntry,
                                  server.url("/download"));
    auto prompt = guitest::ScriptedPrompt::Install();
    auto shell = std::make_shared<CRecordingShell>();
    ui::CScopedShell scopedShell(shell);

    MakeProfileFrame();
    // The start's own check; Yes shows the download page in the browser pane.
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return !prompt->shown.empty(); }, 30000));
    EXPECT_EQ(prompt->shown[0].stringId, 3018);
    EXPECT_EQ(prompt->shown[0].style & (wxYES_NO | wxICON_QUESTION), wxYES_NO | wxICON_QUESTION);
    EXPECT_FALSE(guitest::WaitForPage(*m_frame->GetBrowserFrame()->GetHtmlCtrl()->GetWebView(),
                                      "Kestrova 0.9.8 is here")
                     .empty());
    EXPECT_EQ(server.requestsFor("/download").size(), 1u);
    EXPECT_TRUE(shell->GetRequests().empty()) << "not the desktop's browser";

    // Help → Check for Update, answered No: nothing opens.
    prompt->Answer(wxNO);
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kCheckForUpdate));
    m_frame->GetEventHandler()->ProcessEvent(command);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return prompt->shown.size() == 2; }, 30000));
    guitest::RunEventsFor(300);
    EXPECT_EQ(server.requestsFor("/download").size(), 1u);
    EXPECT_EQ(server.requestsFor("/version.txt").size(), 2u);

    // The start wrote the desktop entry into the test's own data folder.
    desktop::CDesktopIntegration desktop(desktop::Folders::FromEnvironment(), "");
    EXPECT_NE(ReadFileBytes(desktop.EntryPath()).find("MimeType=application/rss+xml;text/x-opml+xml;\n"),
              std::string::npos);
    EXPECT_NE(ReadFileBytes(desktop.MimeAppsPath()).find("text/x-opml+xml=kestrova.desktop"),
              std::string::npos);
    ui::CUserPrompt::Install(nullptr);
}

TEST_F(DesktopFrameTest, WithoutAVersionAddressNoCheckIsMade)
{
    testsupport::LocalHttpServer server;
    m_profile->WriteProfileString(update::kProfileSection, update::kDownloadPageEntry, server.url("/page"));
    auto prompt = guitest::ScriptedPrompt::Install();
    MakeProfileFrame();
    guitest::RunEventsFor(300);
    wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(resources::cmd::kCheckForUpdate));
    m_frame->GetEventHandler()->ProcessEvent(command);
    guitest::RunEventsFor(300);
    EXPECT_TRUE(prompt->shown.empty());
    EXPECT_EQ(server.requestCount(), 0u);
    ui::CUserPrompt::Install(nullptr);
}

namespace
{
bool HasStaticText(wxWindow* window, const wxString& text)
{
    for (wxWindow* child : window->GetChildren())
    {
        auto* label = wxDynamicCast(child, wxStaticText);
        if ((label != nullptr && label->GetLabel() == text) || HasStaticText(child, text))
            return true;
    }
    return false;
}
} // namespace

TEST_F(DesktopFrameTest, TheLanguageEntryIsUsableInEnglishAndInGerman)
{
    if (!std::filesystem::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    MakeProfileFrame();
    m_frame->Show();
    const int entry = ui::MenuCommandId(resources::cmd::kLanguage);
    // As when Tools opens: the toolkit asks the frame for its entries' state.
    auto usable = [&]
    {
        m_frame->GetMenuBar()->GetMenu(3)->UpdateUI(m_frame);
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(entry);
        return item != nullptr && item->IsEnabled() && item->GetSubMenu() == m_frame->GetLanguageMenu();
    };
    ASSERT_TRUE(usable()) << "Tools > Language in English";

    // The sub-menu, filled when a menu of the bar opens, offers each catalog.
    wxMenuEvent opened(wxEVT_MENU_OPEN, 0, m_frame->GetMenuBar()->GetMenu(3));
    m_frame->GetEventHandler()->ProcessEvent(opened);
    wxMenuItem* german = nullptr;
    for (wxMenuItem* item : m_frame->GetLanguageMenu()->GetMenuItems())
        if (item->GetItemLabelText() == "Deutsch")
            german = item;
    ASSERT_NE(german, nullptr);
    EXPECT_TRUE(german->IsEnabled());

    wxCommandEvent pick(wxEVT_MENU, german->GetId());
    m_frame->GetEventHandler()->ProcessEvent(pick);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_frame->GetMenuBar()->GetMenuLabel(0) == "&Datei"; }));
    EXPECT_TRUE(usable()) << "Extras > Sprache in German";
}

TEST_F(DesktopFrameTest, GermanPickedFromTheLanguageMenuShowsInMenusAndDialogsAfterARestart)
{
    if (!std::filesystem::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo"))
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing)";
    MakeProfileFrame();
    ASSERT_NE(m_frame->GetLanguageMenu(), nullptr);
    EXPECT_EQ(m_frame->GetMenuBar()->GetMenuLabel(0), "&File");
    const std::vector<std::uint16_t>& languages = m_frame->GetLanguageSelector()->GetLanguages();
    auto german = std::find(languages.begin(), languages.end(), 0x0007);
    ASSERT_NE(german, languages.end());
    const int command = CLanguageSelector::kFirstCommand + static_cast<int>(german - languages.begin());
    EXPECT_EQ(m_frame->GetLanguageMenu()->GetLabel(command), "Deutsch");

    wxCommandEvent pick(wxEVT_MENU, command);
    m_frame->GetEventHandler()->ProcessEvent(pick);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_frame->GetMenuBar()->GetMenuLabel(0) == "&Datei"; }));
    EXPECT_TRUE(m_frame->GetLanguageMenu()->IsChecked(command));
    CloseFrame();

    MakeProfileFrame();
    wxMenuBar* bar = m_frame->GetMenuBar();
    EXPECT_EQ(bar->GetMenuLabel(0), "&Datei");
    EXPECT_EQ(bar->GetMenuLabel(3), "Extras");
    EXPECT_EQ(bar->GetLabel(ui::MenuCommandId(resources::cmd::kCheckForUpdate)),
              "Nach Aktualisierung suchen ...");
    EXPECT_EQ(m_frame->GetMainToolBar()->GetToolShortHelp(ui::MenuCommandId(32770)), "Neues Abonnement");

    wxMenu popup;
    popup.Append(wxID_ANY, "Subscribe Now");
    popup.Append(wxID_ANY, "Delete\tDel");
    popup.Append(wxID_ANY, "No such text");
    ui::TranslateMenu(&popup);
    EXPECT_EQ(popup.FindItemByPosition(0)->GetItemLabel(), "Jetzt abonnieren");
    EXPECT_EQ(popup.FindItemByPosition(1)->GetItemLabel(), wxString::FromUTF8("Löschen\tDel"));
    EXPECT_EQ(popup.FindItemByPosition(2)->GetItemLabel(), "No such text");

    CAboutDlg about(m_frame);
    wxString title;
    bool germanText = false;
    guitest::RunModal(about, {[&](wxDialog& dialog)
                              {
                                  title = dialog.GetTitle();
                                  germanText =
                                      HasStaticText(&dialog, "Ein Newsfeed-Leser und Podcast-Client.");
                              }});
    EXPECT_EQ(title, wxString::FromUTF8("Über Kestrova RSS Reader"));
    EXPECT_TRUE(germanText);
}
