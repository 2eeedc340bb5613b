// Where the typing goes when a dialog opens: into its first field that takes
// typing, with the field's text selected so that typing replaces it.
#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "common/Clipboard.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/FeedSearchDlg.h"
#include "dialogs/MailDlgs.h"
#include "dialogs/PrefPages.h"
#include "dialogs/PreferencesHolder.h"
#include "dialogs/SubscriptionDlgs.h"
#include "dialogs/TreePropSheet.h"
#include "downloads/FakeTorrentEngine.h"
#include "feeds/support/ConfigHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <wx/frame.h>
#include <wx/textentry.h>

namespace
{

// Empty when the focus is in the field and its whole text is selected; else
// what is wrong.
std::string TypingFault(wxWindow& dialog, int fieldId)
{
    wxWindow* field = dialog.FindWindow(fieldId);
    auto* entry = dynamic_cast<wxTextEntry*>(field);
    if (entry == nullptr)
        return "no text field " + std::to_string(fieldId);
    guitest::RunEventsUntil([&] { return wxWindow::FindFocus() == field; });
    wxWindow* focused = wxWindow::FindFocus();
    if (focused != field)
        return "the focus is on " +
               (focused != nullptr
                    ? wxString(focused->GetClassInfo()->GetClassName()).utf8_string() + " #" +
                          std::to_string(focused->GetId()) + " \"" + focused->GetLabel().utf8_string() + "\""
                    : std::string("nothing"));
    long from = 0, to = 0;
    entry->GetSelection(&from, &to);
    if (entry->GetValue().empty())
        return {};
    if (from != 0 || to != entry->GetLastPosition())
        return "selected " + std::to_string(from) + " to " + std::to_string(to) + " of \"" +
               entry->GetValue().utf8_string() + "\"";
    return {};
}

class DialogFocusTest : public testing::Test
{
protected:
    DialogFocusTest()
    {
        m_parent = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(20, 20), wxSize(700, 500));
        m_parent->Show();
        SetClipboardText(uString(""));
    }
    ~DialogFocusTest() override { guitest::DestroyWindow(m_parent); }

    // Opens the dialog modally and records where the typing goes.
    void Check(const std::string& name, wxDialog& dialog, int fieldId)
    {
        std::string fault = "never shown";
        guitest::RunModal(dialog, {[&](wxDialog& shown) { fault = TypingFault(shown, fieldId); }});
        if (!fault.empty())
            m_faults[name] = fault;
    }

    testsupport::ConfigHome m_config;
    guitest::PromptReset m_reset;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt = guitest::ScriptedPrompt::Install();
    downloadtest::FakeTorrentEngine m_engine;
    testsupport::TempDir m_dir;
    wxFrame* m_parent = nullptr;
    std::map<std::string, std::string> m_faults;
};

} // namespace

TEST_F(DialogFocusTest, EveryDialogWithATextFieldOpensWithTheTypingInItsFirstOne)
{
    {
        // The suggested address is what a user types over.
        CNewSubscriptionDlg dialog({uString("Feeds")}, m_parent);
        Check("new subscription", dialog, CNewSubscriptionDlg::kUrlEdit);
    }
    {
        CFeedPropertiesDlg dialog(uString("http://127.0.0.1/feed.xml"), uString("Feed"), 60, false, false,
                                  m_parent);
        Check("feed properties", dialog, CFeedPropertiesDlg::kUrlEdit);
    }
    {
        CNewsWatchDlg dialog(uString("Election"), uString("vote or ballot"), m_parent);
        Check("news watch", dialog, CNewsWatchDlg::kTitleEdit);
    }
    {
        COpenURLDlg dialog(m_parent);
        Check("open URL", dialog, COpenURLDlg::kUrlEdit);
    }
    {
        CFeedSearchDlg dialog({uString("Feeds")}, m_parent);
        Check("find", dialog, CFeedSearchDlg::kPhraseEdit);
    }
    {
        CPromptUserPassDlg dialog(uString("Login"), uString(""), m_parent);
        Check("credentials", dialog, CPromptUserPassDlg::kUserEdit);
    }
    {
        // The user is known: the password is what is typed.
        CPromptUserPassDlg dialog(uString("Login"), uString("amy"), m_parent);
        Check("credentials of a known user", dialog, CPromptUserPassDlg::kPasswordEdit);
    }
    {
        CForwardMailDlg dialog(uString("max@example.test"), m_parent);
        Check("forward mail", dialog, CForwardMailDlg::kRecipientEdit);
    }
    {
        CFeedBrowserDlg dialog(
            m_parent, [](std::uint32_t, const uString&) {}, uString(m_dir.file("directory.xml").c_str()),
            uString(m_dir.file("cache").c_str()));
        Check("feed directory", dialog, CFeedBrowserDlg::kUrlEdit);
    }

    // The preferences open on the page asked for, with the typing in it.
    const std::pair<int, int> pages[] = {{0, PrefFrameGeneral::kRefreshEdit},
                                         {2, PrefFrameProxy::kHostEdit},
                                         {3, PrefFramePodcast::kFolderEdit},
                                         {4, PrefFrameTorrent::kFirstPortEdit},
                                         {5, PrefFramePersonal::kNameEdit}};
    for (auto [page, field] : pages)
    {
        std::string fault = "never shown";
        guitest::WhenDialogShown<CTreePropSheet>(
            [&, field = field](CTreePropSheet& sheet)
            {
                fault = TypingFault(sheet, field);
                guitest::Press(sheet, wxID_CANCEL);
            });
        CPreferencesHolder holder(m_parent, &m_engine, page, [] {});
        if (!fault.empty())
            m_faults["preferences page " + std::to_string(page)] = fault;
    }

    EXPECT_EQ(m_faults, (std::map<std::string, std::string>{}));
}
