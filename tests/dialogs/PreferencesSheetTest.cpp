#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "dialogs/PrefPages.h"
#include "dialogs/PreferencesHolder.h"
#include "dialogs/TreePropSheet.h"
#include "downloads/FakeTorrentEngine.h"
#include "feeds/support/ConfigHome.h"
#include "mainwindow/LanguageSelector.h"
#include "mainwindow/WindowTranslator.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

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
                   });
    for (const auto& [page, found] : faults)
    {
        for (const std::string& fault : found)
            ADD_FAILURE() << page << ": " << fault;
    }
    EXPECT_EQ(cancel, "Ab&brechen");
    EXPECT_EQ(apply, wxString::FromUTF8("Ü&bernehmen"));
}
} // namespace
