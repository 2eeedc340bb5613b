#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "dialogs/PrefPages.h"
#include "dialogs/PreferencesHolder.h"
#include "dialogs/TreePropSheet.h"
#include "downloads/FakeTorrentEngine.h"
#include "feeds/AuthList.h"
#include "feeds/support/ConfigHome.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/WindowTranslator.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

namespace
{
// Read before any fixture points the variable at its own folder.
const std::string kBuiltLanguages =
    std::string(std::getenv("KESTROVA_PROGRAM_DIR") != nullptr ? std::getenv("KESTROVA_PROGRAM_DIR") : "") +
    "/languages";

class GermanEnvironment : public ILocaleEnvironment
{
public:
    std::string UserInterfaceLocale() const override { return "de_DE.UTF-8"; }
    std::string SystemInterfaceLocale() const override { return {}; }
    std::string UserDefaultLocale() const override { return {}; }
};

// The controls of a page that are cut off (smaller than their text needs,
// or reaching out of the page) or that overlap another control.
std::vector<std::string> LayoutFaults(wxWindow& page)
{
    std::vector<wxWindow*> leaves;
    std::function<void(wxWindow*)> collect = [&](wxWindow* window)
    {
        for (wxWindow* child : window->GetChildren())
        {
            if (!child->IsShown() || wxDynamicCast(child, wxStaticBox) != nullptr)
                continue;
            if (child->GetChildren().empty())
                leaves.push_back(child);
            collect(child);
        }
    };
    collect(&page);
    auto name = [](wxWindow* window)
    { return window->GetLabel().utf8_string() + "#" + std::to_string(window->GetId()); };
    std::vector<std::string> faults;
    const wxRect area(page.GetScreenPosition(), page.GetClientSize());
    for (size_t i = 0; i < leaves.size(); ++i)
    {
        wxRect rect = leaves[i]->GetScreenRect();
        if (!area.Contains(rect))
            faults.push_back(name(leaves[i]) + " reaches out of the page");
        // Edits may be narrower than they would like; a text label may not.
        const bool label = wxDynamicCast(leaves[i], wxStaticText) || wxDynamicCast(leaves[i], wxCheckBox) ||
                           wxDynamicCast(leaves[i], wxRadioButton) || wxDynamicCast(leaves[i], wxButton);
        if (label && rect.width < leaves[i]->GetBestSize().x)
            faults.push_back(name(leaves[i]) + " is cut off");
        for (size_t j = i + 1; j < leaves.size(); ++j)
        {
            if (rect.Intersects(leaves[j]->GetScreenRect()))
                faults.push_back(name(leaves[i]) + " overlaps " + name(leaves[j]));
        }
    }
    return faults;
}

class TestPage : public CPropertyPageBase
{
public:
    TestPage(wxWindow* parent, const char* caption) : CPropertyPageBase(parent, caption)
    {
        SetMinSize(wxSize(200, 120));
    }
    bool OnKillActive() override { return !refuse; }
    bool refuse = false;
};

std::vector<std::string> Children(wxTreeCtrl& tree, const wxTreeItemId& parent)
{
    return guitest::ChildLabels(tree, parent);
}

wxTreeItemId Child(wxTreeCtrl& tree, const wxTreeItemId& parent, int index)
{
    wxTreeItemIdValue cookie;
    wxTreeItemId child = tree.GetFirstChild(parent, cookie);
    while (index-- > 0)
        child = tree.GetNextChild(parent, cookie);
    return child;
}

class PreferencesSheetTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_parent = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(20, 20), wxSize(300, 200));
        m_parent->Show();
        m_prompt = guitest::ScriptedPrompt::Install();
    }
    void TearDown() override { guitest::DestroyWindow(m_parent); }

    // The Preferences over a fake engine; `act` runs in the shown sheet.
    int RunPreferences(int startPage, const std::function<void(CTreePropSheet&)>& act)
    {
        guitest::WhenDialogShown<CTreePropSheet>(
            [&](CTreePropSheet& sheet)
            {
                guitest::RunEventsFor(100);
                act(sheet);
                if (sheet.IsModal())
                    guitest::Press(sheet, wxID_CANCEL);
            });
        CPreferencesHolder holder(m_parent, &m_engine, startPage, [this] { ++m_told; });
        return holder.GetResult();
    }

    testsupport::ConfigHome m_config;
    downloadtest::FakeTorrentEngine m_engine;
    wxFrame* m_parent = nullptr;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt;
    guitest::PromptReset m_reset;
    int m_told = 0;
};

TEST_F(PreferencesSheetTest, PagesSharingAPathShareANodeWhichShowsAnEmptyCaptionedArea)
{
    auto* sheet = new CTreePropSheet("Sheet", m_parent);
    auto* b = new TestPage(sheet, "A::B");
    auto* c = new TestPage(sheet, "A::C");
    sheet->AddPage(b);
    sheet->AddPage(c);
    sheet->SetTreeMode(true, true, false);
    sheet->Build();
    EXPECT_FALSE(sheet->SetTreeMode(false)) << "only before the sheet is built";
    sheet->Show();
    guitest::RunEventsFor(100);
    wxTreeCtrl& tree = *sheet->GetTree();
    EXPECT_EQ(Children(tree, tree.GetRootItem()), std::vector<std::string>{"A"});
    wxTreeItemId a = Child(tree, tree.GetRootItem(), 0);
    EXPECT_EQ(Children(tree, a), (std::vector<std::string>{"B", "C"}));
    EXPECT_TRUE(b->IsShown());

    tree.SelectItem(a);
    EXPECT_FALSE(b->IsShown());
    EXPECT_EQ(sheet->GetPageFrame()->GetCaption(), "A");

    tree.SelectItem(Child(tree, a, 1));
    EXPECT_TRUE(c->IsShown());
    EXPECT_EQ(sheet->GetPageFrame()->GetCaption(), "C");
    c->refuse = true;
    tree.SelectItem(Child(tree, a, 0));
    EXPECT_EQ(tree.GetSelection(), Child(tree, a, 1)) << "a page that refuses to go keeps the selection";
    EXPECT_EQ(sheet->GetActiveIndex(), 1);
    c->refuse = false;
    sheet->ActivateNext(); // the last leaf wraps to the first root
    EXPECT_EQ(tree.GetSelection(), a);
    sheet->Destroy();
}

TEST_F(PreferencesSheetTest, ThePreferencesOpenOnTheirStartPageAndEachPageIsShown)
{
    std::vector<std::string> captions;
    wxColour band;
    int result =
        RunPreferences(4,
                       [&](CTreePropSheet& sheet)
                       {
                           EXPECT_EQ(sheet.GetActivePage()->GetCaption(), "Bittorrent");
                           for (int page = 0; page < sheet.GetPageCount(); ++page)
                           {
                               sheet.SetActivePage(page);
                               std::string caption = sheet.GetActivePage()->GetCaption().utf8_string();
                               captions.push_back(caption);
                               wxImage shot = guitest::TakeScreenshot("issue27-" + caption);
                               wxWindow* frame = sheet.GetPageFrame()->GetWnd();
                               wxPoint left = frame->GetScreenPosition() + wxPoint(1, 4);
                               if (shot.IsOk())
                                   band = wxColour(shot.GetRed(left.x, left.y), shot.GetGreen(left.x, left.y),
                                                   shot.GetBlue(left.x, left.y));
                           }
                       });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(captions, (std::vector<std::string>{"General", "Download", "Proxy", "Podcast", "Bittorrent",
                                                  "Personal"}));
    wxColour expected = CPageFrameWnd::LeftColour();
    EXPECT_NEAR(band.Red(), expected.Red(), 8);
    EXPECT_NEAR(band.Green(), expected.Green(), 8);
    EXPECT_NEAR(band.Blue(), expected.Blue(), 8);
    EXPECT_EQ(m_told, 0) << "Cancel tells nobody";
}

TEST_F(PreferencesSheetTest, ABadListenPortKeepsTheBittorrentPageAndStoresNothing)
{
    RunPreferences(
        4,
        [&](CTreePropSheet& sheet)
        {
            auto& page = dynamic_cast<PrefFrameTorrent&>(*sheet.GetActivePage());
            for (int click = 0; click < 70; ++click)
                page.Spin(prefs::kUploadsRow, 1);
            EXPECT_EQ(
                wxDynamicCast(page.FindWindow(PrefFrameTorrent::kRowEdits[prefs::kUploadsRow]), wxTextCtrl)
                    ->GetValue(),
                "64");
            wxDynamicCast(page.FindWindow(PrefFrameTorrent::kLastPortEdit), wxTextCtrl)->ChangeValue("0");
            guitest::Press(sheet, wxID_OK);
            EXPECT_TRUE(sheet.IsModal());
            sheet.GetTree()->SelectItem(Child(*sheet.GetTree(), sheet.GetTree()->GetRootItem(), 0));
            EXPECT_EQ(sheet.GetActiveIndex(), prefs::kTorrentPage);
        });
    ASSERT_EQ(m_prompt->shown.size(), 2u);
    EXPECT_EQ(m_prompt->shown[0].text, "Please enter an integer between 1 and 65535.");
    EXPECT_EQ(m_told, 0);
    EXPECT_EQ(CPreference::GetInstance()->GetTorrentSection().nMaxUploadTask,
              []
              {
                  CPreference::TorrentSection s;
                  CPreference::DefaultTorrent(s);
                  return s.nMaxUploadTask;
              }());
}

TEST_F(PreferencesSheetTest, InGermanEveryPageFitsItsLongestTextsAndTheButtonsAreGermanToo)
{
    CLanguageSelector german(kBuiltLanguages, nullptr, std::make_shared<GermanEnvironment>());
    ASSERT_TRUE(german.ChooseLanguage());
    ASSERT_EQ(german.GetCurrentLanguage(), 0x0007) << "no German catalog in " << kBuiltLanguages;
    ui::InstallWindowTranslator();
    std::map<std::string, std::vector<std::string>> faults;
    wxString cancel;
    wxString apply;
    std::vector<wxString> units;
    RunPreferences(0,
                   [&](CTreePropSheet& sheet)
                   {
                       cancel = sheet.FindWindow(wxID_CANCEL)->GetLabel();
                       apply = sheet.FindWindow(wxID_APPLY)->GetLabel();
                       for (int page = sheet.GetPageCount() - 1; page >= 0; --page)
                       {
                           sheet.SetActivePage(page);
                           guitest::RunEventsFor(100);
                           std::vector<std::string> found = LayoutFaults(*sheet.GetActivePage());
                           if (!found.empty())
                               faults[sheet.GetActivePage()->GetCaption().utf8_string()] = found;
                       }
                       // Last on General, the page that was cut off.
                       guitest::TakeScreenshot("issue36-german-general");
                       // The unit takes the form that goes with the number typed.
                       auto* number =
                           wxDynamicCast(sheet.FindWindow(PrefFrameGeneral::kRefreshEdit), wxTextCtrl);
                       auto* unit =
                           wxDynamicCast(sheet.FindWindow(PrefFrameGeneral::kRefreshUnitCombo), wxComboBox);
                       number->SetValue("5");
                       units.push_back(unit->GetValue());
                       number->SetValue("1");
                       units.push_back(unit->GetValue());
                       units.push_back(unit->GetString(1));
                   });
    for (const auto& [page, found] : faults)
    {
        for (const std::string& fault : found)
            ADD_FAILURE() << page << ": " << fault;
    }
    EXPECT_EQ(units, (std::vector<wxString>{"Minuten", "Minute", "Stunde"}));
    EXPECT_EQ(cancel, "Ab&brechen");
    EXPECT_EQ(apply, wxString::FromUTF8("Ü&bernehmen"));
}

TEST_F(PreferencesSheetTest, RemovingAPageRebuildsTheTreeAndHandsOverTheCurrentPage)
{
    auto* sheet = new CTreePropSheet("Sheet", m_parent);
    for (const char* caption : {"A::B", "A::C", "D"})
        sheet->AddPage(new TestPage(sheet, caption));
    sheet->SetTreeMode(true, /*pageCaptions=*/true);
    sheet->Build();
    sheet->Show();
    wxTreeCtrl& tree = *sheet->GetTree();
    EXPECT_EQ(tree.GetItemText(sheet->FindPageItem(2)), "D");
    EXPECT_FALSE(sheet->FindPageItem(3).IsOk());
    EXPECT_FALSE(sheet->FindPageItem(-1).IsOk());

    ASSERT_TRUE(sheet->SetActivePage(1));
    CPropertyPageBase* d = sheet->GetPage(2);
    ASSERT_TRUE(sheet->RemovePage(1));
    EXPECT_EQ(sheet->GetPageCount(), 2);
    EXPECT_EQ(sheet->GetActivePage(), d) << "the page now at its index takes over";
    EXPECT_TRUE(d->IsShown());
    wxTreeItemId a = Child(tree, tree.GetRootItem(), 0);
    EXPECT_EQ(Children(tree, a), std::vector<std::string>{"B"});
    EXPECT_EQ(tree.GetSelection(), sheet->FindPageItem(1));
    EXPECT_EQ(sheet->GetPageFrame()->GetCaption(), "D");

    ASSERT_TRUE(sheet->RemovePage(0)); // before the current page: it stays current
    EXPECT_EQ(sheet->GetActivePage(), d);
    EXPECT_EQ(Children(tree, tree.GetRootItem()), std::vector<std::string>{"D"});
    EXPECT_FALSE(sheet->RemovePage(1));
    sheet->Destroy();
}

TEST_F(PreferencesSheetTest, DeleteInThePasswordManagerSelectsTheFollowingRowWhichTheNextEditWrites)
{
    CAuthList& credentials = CPreference::GetInstance()->GetAuthList();
    credentials.Add("http://127.0.0.1/a", "ann", "pa");
    credentials.Add("http://127.0.0.1/b", "bob", "pb");
    credentials.Add("http://127.0.0.1/c", "cid", "pc");
    auto user = [&](const char* url)
    {
        uString name;
        uString password;
        return credentials.GetCredentials(url, name, password) ? std::string(name.c_str()) : "(gone)";
    };
    std::vector<std::string> logins;
    RunPreferences(prefs::PersonalPageIndex(true),
                   [&](CTreePropSheet& sheet)
                   {
                       wxWindow& page = *sheet.GetActivePage();
                       auto* list =
                           wxDynamicCast(page.FindWindow(PrefFramePersonal::kCredentialList), wxListCtrl);
                       auto* login =
                           wxDynamicCast(page.FindWindow(PrefFramePersonal::kLoginEdit), wxTextCtrl);
                       auto loginShown = [&] { logins.push_back(login->GetValue().utf8_string()); };
                       list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                          wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
                       list->SetFocus();
                       guitest::RunEventsFor(100);
                       loginShown();
                       wxUIActionSimulator().Char(WXK_DELETE);
                       guitest::RunEventsUntil([&] { return list->GetItemCount() == 2; });
                       loginShown(); // the row after the deleted one
                       login->SetFocus();
                       login->ChangeValue("bobby");
                       list->SetFocus(); // leaving the edit stores it
                       guitest::RunEventsFor(100);

                       wxUIActionSimulator().Char(WXK_DOWN);
                       guitest::RunEventsFor(100);
                       loginShown();
                       wxUIActionSimulator().Char(WXK_UP);
                       guitest::RunEventsFor(100);
                       loginShown();

                       // A deselected row is no longer the one the edits write to.
                       list->SetItemState(0, 0, wxLIST_STATE_SELECTED);
                       guitest::RunEventsFor(100);
                       loginShown();
                       login->SetFocus();
                       login->ChangeValue("stray");
                       list->SetFocus();
                       guitest::RunEventsFor(100);
                   });
    EXPECT_EQ(logins, (std::vector<std::string>{"ann", "bob", "cid", "bobby", ""}));
    EXPECT_EQ(user("http://127.0.0.1/a"), "(gone)");
    EXPECT_EQ(user("http://127.0.0.1/b"), "bobby");
    EXPECT_EQ(user("http://127.0.0.1/c"), "cid");
}

TEST_F(PreferencesSheetTest, ARefusedOkMakesNoPodcastFolderAndAMissingOneIsReportedAndEmptiedAtOk)
{
    const std::string library = CPreference::GetInstance()->GetLibraryDir().getPath().c_str();
    const std::string missing = m_config.home().file("no such/podcasts");
    int result = RunPreferences(
        prefs::kPodcastPage,
        [&](CTreePropSheet& sheet)
        {
            wxDynamicCast(sheet.FindWindow(PrefFramePodcast::kFolderEdit), wxTextCtrl)->ChangeValue(missing);
            // Refused by a page the sheet checks after the podcast page.
            auto* lastPort = wxDynamicCast(sheet.FindWindow(PrefFrameTorrent::kLastPortEdit), wxTextCtrl);
            lastPort->ChangeValue("0");
            guitest::Press(sheet, wxID_OK);
            EXPECT_TRUE(sheet.IsModal());
            EXPECT_EQ(sheet.GetActiveIndex(), prefs::kTorrentPage);
            EXPECT_FALSE(std::filesystem::exists(m_config.home().file("no such"))) << "made by a refused OK";
            lastPort->ChangeValue("6889");
            guitest::Press(sheet, wxID_OK);
        });
    EXPECT_EQ(result, wxID_OK);
    ASSERT_EQ(m_prompt->shown.size(), 2u);
    EXPECT_EQ(m_prompt->shown[0].text, "Please enter an integer between 1 and 65535.");
    EXPECT_EQ(m_prompt->shown[1].stringId, 3032);
    EXPECT_EQ(m_prompt->shown[1].text, "The directory " + missing + " does not exist.");
    EXPECT_FALSE(std::filesystem::exists(missing));
    CPreference& preference = *CPreference::GetInstance();
    EXPECT_STREQ(preference.GetPodcastSection().strPodcastDirectory.c_str(), "");
    EXPECT_STREQ(preference.GetLibraryDir().getPath().c_str(), library.c_str());
    EXPECT_EQ(preference.GetTorrentSection().nListenPortNumber2, 6889);
    EXPECT_EQ(m_told, 1);
}

TEST_F(PreferencesSheetTest, StoredITunesWhileItIsAbsentShowsNoPlaylistCheckedAndOkKeepsIt)
{
    CPreference& preference = *CPreference::GetInstance();
    CPreference::PodcastSection podcast = preference.GetPodcastSection();
    podcast.nFormatPlayLists = 2;
    preference.SetPodcastSection(podcast);
    std::vector<bool> checked;
    bool itunesEnabled = true;
    RunPreferences(prefs::kPodcastPage,
                   [&](CTreePropSheet& sheet)
                   {
                       for (int id : {PrefFramePodcast::kMediaPlayerRadio, PrefFramePodcast::kM3uRadio,
                                      PrefFramePodcast::kITunesRadio})
                           checked.push_back(wxDynamicCast(sheet.FindWindow(id), wxRadioButton)->GetValue());
                       itunesEnabled = sheet.FindWindow(PrefFramePodcast::kITunesRadio)->IsEnabled();
                       guitest::Press(sheet, wxID_OK);
                   });
    EXPECT_EQ(checked, (std::vector<bool>{false, false, false}));
    EXPECT_FALSE(itunesEnabled);
    EXPECT_EQ(preference.GetPodcastSection().nFormatPlayLists, 2);
}
} // namespace
