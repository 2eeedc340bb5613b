#include "dialogs/SubscriptionDlgs.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "ScriptedPrompt.h"
#include "common/Clipboard.h"
#include "dialogs/SubscriptionLogic.h"
#include "support/GermanInterface.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

using guitest::Press;
using guitest::RunModal;

namespace
{
wxTextCtrl* Edit(wxDialog& dialog, int id)
{
    return wxDynamicCast(dialog.FindWindow(id), wxTextCtrl);
}

std::string Text(wxDialog& dialog, int id)
{
    return Edit(dialog, id)->GetValue().utf8_str().data();
}

void Type(wxDialog& dialog, int id, const char* text)
{
    Edit(dialog, id)->ChangeValue(wxString::FromUTF8(text));
}

void Choose(wxDialog& dialog, int id, int index)
{
    auto* choice = wxDynamicCast(dialog.FindWindow(id), wxChoice);
    choice->SetSelection(index);
    wxCommandEvent chosen(wxEVT_CHOICE, id);
    chosen.SetInt(index);
    chosen.SetString(choice->GetString(index));
    chosen.SetEventObject(choice);
    choice->GetEventHandler()->ProcessEvent(chosen);
}

class SubscriptionDlgsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_parent = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(20, 20), wxSize(700, 500));
        m_parent->Show();
        m_prompt = guitest::ScriptedPrompt::Install();
    }
    void TearDown() override
    {
        guitest::DestroyWindow(m_parent);
        SetClipboardText(uString(""));
    }

    wxFrame* m_parent = nullptr;
    guitest::PromptReset m_reset;
    std::shared_ptr<guitest::ScriptedPrompt> m_prompt;
};
} // namespace

TEST_F(SubscriptionDlgsTest, FeedPropertiesKeepTheFeedsAddressAndCheckTheEnteredOne)
{
    ASSERT_TRUE(SetClipboardText(uString("http://127.0.0.1/clipboard.xml")));
    CFeedPropertiesDlg dialog(uString("http://127.0.0.1/feed.xml"), uString("Feed"), 1440, true, false,
                              m_parent);
    EXPECT_EQ(Text(dialog, CFeedPropertiesDlg::kUrlEdit), "http://127.0.0.1/feed.xml")
        << "an existing feed never takes the clipboard";
    EXPECT_EQ(Text(dialog, CFeedPropertiesDlg::kIntervalEdit), "1");
    auto* unit = wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kIntervalUnitList), wxChoice);
    EXPECT_EQ(unit->GetStringSelection(), "days");
    EXPECT_TRUE(
        wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kAutoArchiveCheck), wxCheckBox)->GetValue());

    bool openAfterBlank = false;
    int result =
        RunModal(dialog,
                 {
                     [](wxDialog& d)
                     {
                         Type(d, CFeedPropertiesDlg::kUrlEdit, "  \t ");
                         Press(d, wxID_OK);
                     },
                     [&](wxDialog& d)
                     {
                         openAfterBlank = d.IsModal();
                         Type(d, CFeedPropertiesDlg::kUrlEdit, "file:///etc/passwd");
                         Press(d, wxID_OK);
                     },
                     [&](wxDialog& d)
                     {
                         openAfterBlank = openAfterBlank && d.IsModal();
                         Type(d, CFeedPropertiesDlg::kUrlEdit, "  feed://127.0.0.1/new.xml \n");
                         Type(d, CFeedPropertiesDlg::kTitleEdit, "  New title ");
                         Type(d, CFeedPropertiesDlg::kIntervalEdit, "3");
                         Choose(d, CFeedPropertiesDlg::kIntervalUnitList, 1);
                         wxDynamicCast(d.FindWindow(CFeedPropertiesDlg::kAutoDownloadCheck), wxCheckBox)
                             ->SetValue(true);
                         Press(d, wxID_OK);
                     },
                 });
    EXPECT_TRUE(openAfterBlank) << "a blank or local address keeps the dialog open";
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3005, 3058}));
    EXPECT_NE(m_prompt->shown.back().text.find("file:///etc/passwd"), std::string::npos)
        << "the refused address is named";
    ASSERT_EQ(result, wxID_OK);
    EXPECT_STREQ(dialog.url.c_str(), "http://127.0.0.1/new.xml");
    EXPECT_STREQ(dialog.title.c_str(), "New title");
    EXPECT_EQ(dialog.interval, 180);
    EXPECT_TRUE(dialog.autoArchive);
    EXPECT_TRUE(dialog.autoDownload);

    // In German the units take the form that goes with the number.
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    CFeedPropertiesDlg properties(uString("http://127.0.0.1/feed.xml"), uString("Feed"), 0, false, false,
                                  m_parent);
    auto* units = wxDynamicCast(properties.FindWindow(CFeedPropertiesDlg::kIntervalUnitList), wxChoice);
    EXPECT_EQ(units->GetStringSelection(), "Minuten");
    Edit(properties, CFeedPropertiesDlg::kIntervalEdit)->SetValue("1"); // as typing does
    EXPECT_EQ(units->GetStringSelection(), "Minute");
    EXPECT_EQ(units->GetString(1), "Stunde");
}

// A feed file the user opened keeps its "file://" address through its
// Properties; no other local address may be typed in, nor come from the
// clipboard into a new feed.
TEST_F(SubscriptionDlgsTest, FeedPropertiesAcceptTheFeedsOwnFileAddressOnly)
{
    const char* own = "file:///home/amy/opened.rss";
    CFeedPropertiesDlg dialog(uString(own), uString("Opened"), 0, false, false, m_parent);
    EXPECT_EQ(RunModal(dialog, {[](wxDialog& d)
                                {
                                    Type(d, CFeedPropertiesDlg::kUrlEdit, "file:///etc/passwd");
                                    Press(d, wxID_OK);
                                },
                                [own](wxDialog& d)
                                {
                                    Type(d, CFeedPropertiesDlg::kUrlEdit, own);
                                    Type(d, CFeedPropertiesDlg::kTitleEdit, "Renamed");
                                    Press(d, wxID_OK);
                                }}),
              wxID_OK);
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3058}) << "only the other file was refused";
    EXPECT_STREQ(dialog.url.c_str(), own);
    EXPECT_STREQ(dialog.title.c_str(), "Renamed");

    ASSERT_TRUE(SetClipboardText(uString(own)));
    CFeedPropertiesDlg added(m_parent);
    EXPECT_EQ(
        RunModal(added, {[](wxDialog& d) { Press(d, wxID_OK); }, [](wxDialog& d) { Press(d, wxID_CANCEL); }}),
        wxID_CANCEL);
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3058, 3058}));
}

TEST_F(SubscriptionDlgsTest, ANewFeedStartsWithTheClipboardOrTheSample)
{
    ASSERT_TRUE(SetClipboardText(uString("http://127.0.0.1/clipboard.xml")));
    {
        CFeedPropertiesDlg dialog(m_parent);
        EXPECT_EQ(Text(dialog, CFeedPropertiesDlg::kUrlEdit), "http://127.0.0.1/clipboard.xml");
        EXPECT_EQ(Text(dialog, CFeedPropertiesDlg::kIntervalEdit), "0");
        EXPECT_EQ(RunModal(dialog, {[](wxDialog& d) { Press(d, wxID_OK); }}), wxID_OK);
        EXPECT_EQ(dialog.interval, 0) << "0 keeps the default";
    }
    ASSERT_TRUE(SetClipboardText(uString("")));
    CFeedPropertiesDlg dialog(m_parent);
    EXPECT_EQ(Text(dialog, CFeedPropertiesDlg::kUrlEdit), std::string(kProductWebAddress) + "news/rss.xml");
}

TEST_F(SubscriptionDlgsTest, NewSubscriptionNamesTheChosenList)
{
    ASSERT_TRUE(SetClipboardText(uString("http://127.0.0.1/clip.xml")));
    CNewSubscriptionDlg dialog({uString("First list"), uString("Second list")}, m_parent);
    EXPECT_STREQ(dialog.listName.c_str(), "First list");
    EXPECT_EQ(Text(dialog, CNewSubscriptionDlg::kUrlEdit), "http://127.0.0.1/clip.xml");

    int result = RunModal(dialog,
                          {
                              [](wxDialog& d)
                              {
                                  Choose(d, CNewSubscriptionDlg::kListChoice, 1);
                                  Type(d, CNewSubscriptionDlg::kTitleEdit, "  ");
                                  Press(d, wxID_OK);
                              },
                          });
    ASSERT_EQ(result, wxID_OK);
    EXPECT_STREQ(dialog.listName.c_str(), "Second list");
    EXPECT_STREQ(dialog.url.c_str(), "http://127.0.0.1/clip.xml");
    EXPECT_TRUE(dialog.title.isEmpty()) << "the title may stay empty";
    EXPECT_TRUE(m_prompt->shown.empty());

    CNewSubscriptionDlg noLists({}, m_parent);
    EXPECT_TRUE(noLists.listName.isEmpty());
}

TEST_F(SubscriptionDlgsTest, WatchNeedsATitleFirstThenKeywords)
{
    CNewsWatchDlg dialog(uString("Old"), uString("old words"), m_parent);
    EXPECT_EQ(Text(dialog, CNewsWatchDlg::kTitleEdit), "Old");
    std::vector<bool> stillOpen;
    int result = RunModal(dialog,
                          {
                              [](wxDialog& d)
                              {
                                  Type(d, CNewsWatchDlg::kTitleEdit, " ");
                                  Type(d, CNewsWatchDlg::kKeywordsEdit, "");
                                  Press(d, wxID_OK);
                              },
                              [&](wxDialog& d)
                              {
                                  stillOpen.push_back(d.IsModal());
                                  Type(d, CNewsWatchDlg::kTitleEdit, " Election ");
                                  Press(d, wxID_OK);
                              },
                              [&](wxDialog& d)
                              {
                                  stillOpen.push_back(d.IsModal());
                                  Type(d, CNewsWatchDlg::kKeywordsEdit, " vote or ballot ");
                                  Press(d, wxID_OK);
                              },
                          });
    EXPECT_EQ(stillOpen, (std::vector<bool>{true, true}));
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3006, 3007}));
    ASSERT_EQ(result, wxID_OK);
    EXPECT_STREQ(dialog.title.c_str(), "Election");
    EXPECT_STREQ(dialog.keywords.c_str(), "vote or ballot");
}

TEST_F(SubscriptionDlgsTest, OpenUrlOffersTheClipboardsAddressAsItIs)
{
    ASSERT_TRUE(SetClipboardText(uString("  HTTPS://Example.ORG/Page  ")));
    COpenURLDlg dialog(m_parent);
    EXPECT_EQ(Text(dialog, COpenURLDlg::kUrlEdit), "HTTPS://Example.ORG/Page");
    int result = RunModal(dialog,
                          {
                              [](wxDialog& d)
                              {
                                  Type(d, COpenURLDlg::kUrlEdit, "anything at all");
                                  Press(d, wxID_OK);
                              },
                          });
    ASSERT_EQ(result, wxID_OK);
    EXPECT_STREQ(dialog.url.c_str(), "anything at all") << "taken without a check";
}
