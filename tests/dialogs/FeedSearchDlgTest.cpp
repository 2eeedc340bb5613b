#include "dialogs/FeedSearchDlg.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "common/SearchRequests.h"
#include "support/GermanInterface.h"

#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

using guitest::Press;
using guitest::RunModal;

TEST(FeedSearchDlgTest, ConfirmedAtOnceItSearchesTheFirstListInAnyFieldOverTheLastFourteenDays)
{
    std::vector<uString> labels{uString("News"), uString("Podcasts")};
    const std::time_t now = std::time(nullptr);
    CFeedSearchDlg dialog(labels, nullptr, now);
    EXPECT_EQ(dialog.criteria.field, CFeedSearchCriteria::kTitleAndDescription)
        << "until OK reads the choice";
    ASSERT_EQ(RunModal(dialog, {[](wxDialog& d) { Press(d, wxID_OK); }}), wxID_OK);
    EXPECT_STREQ(dialog.criteria.listName.c_str(), "News");
    EXPECT_STREQ(dialog.criteria.phrase.c_str(), "");
    EXPECT_EQ(dialog.criteria.matchMode, CFeedSearchCriteria::kContains);
    EXPECT_EQ(dialog.criteria.field, CFeedSearchCriteria::kAnyField);
    EXPECT_STREQ(dialog.criteria.startDate.c_str(), search::FormatSearchDate(now - 14 * 86400).c_str());
    EXPECT_STREQ(dialog.criteria.endDate.c_str(), search::FormatSearchDate(now).c_str());
}

TEST(FeedSearchDlgTest, OkReadsTheChoicesAndTheUntrimmedPhraseAndNoListsGiveAnEmptyName)
{
    std::vector<uString> none;
    CFeedSearchDlg dialog(none, nullptr);
    auto fill = [](wxDialog& d)
    {
        wxDynamicCast(d.FindWindow(CFeedSearchDlg::kPhraseEdit), wxTextCtrl)
            ->ChangeValue(wxString::FromUTF8(" it's \"ünï\" "));
        wxDynamicCast(d.FindWindow(CFeedSearchDlg::kMatchChoice), wxChoice)->SetSelection(2);
        wxDynamicCast(d.FindWindow(CFeedSearchDlg::kFieldChoice), wxChoice)->SetSelection(6);
        Press(d, wxID_OK);
    };
    ASSERT_EQ(RunModal(dialog, {fill}), wxID_OK);
    EXPECT_STREQ(dialog.criteria.listName.c_str(), "");
    EXPECT_STREQ(dialog.criteria.phrase.c_str(), " it's \"ünï\" ");
    EXPECT_EQ(dialog.criteria.matchMode, CFeedSearchCriteria::kEndsWith);
    EXPECT_EQ(dialog.criteria.field, CFeedSearchCriteria::kDownload);
}

TEST(FeedSearchDlgTest, InGermanTheChoicesAreGermanAndOkStillReadsTheirPositions)
{
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    std::vector<uString> labels{uString("News")};
    CFeedSearchDlg dialog(labels, nullptr);
    wxString match;
    auto pick = [&](wxDialog& d)
    {
        auto* choice = wxDynamicCast(d.FindWindow(CFeedSearchDlg::kMatchChoice), wxChoice);
        match = choice->GetString(1);
        choice->SetSelection(1);
        wxDynamicCast(d.FindWindow(CFeedSearchDlg::kFieldChoice), wxChoice)->SetSelection(1);
        Press(d, wxID_OK);
    };
    const int result = RunModal(dialog, {pick});
    ASSERT_EQ(result, wxID_OK);
    EXPECT_EQ(match, "Beginnt mit");
    EXPECT_EQ(dialog.criteria.matchMode, CFeedSearchCriteria::kStartsWith);
    EXPECT_EQ(dialog.criteria.field, CFeedSearchCriteria::kTitleAndDescription);
}
