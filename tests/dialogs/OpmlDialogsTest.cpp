#include "dialogs/OpmlDialogs.h"

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "mainwindow/WindowTranslator.h"
#include "support/GermanInterface.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/listctrl.h>

using guitest::Press;
using guitest::RunModal;

namespace
{
std::vector<uString> U(std::initializer_list<const char*> texts)
{
    std::vector<uString> values;
    for (const char* text : texts)
        values.emplace_back(text);
    return values;
}

std::vector<std::string> S(const std::vector<uString>& values)
{
    std::vector<std::string> texts;
    for (const uString& value : values)
        texts.emplace_back(value.c_str());
    return texts;
}

class OpmlDialogsTest : public testing::Test
{
protected:
    OpmlDialogsTest() { m_parent->Show(); }
    ~OpmlDialogsTest() override { guitest::DestroyWindow(m_parent); }

    wxFrame* m_parent = new wxFrame(nullptr, wxID_ANY, "Kestrova", wxPoint(20, 20), wxSize(700, 500));
};

TEST_F(OpmlDialogsTest, ImportReturnsTheCheckedLinksInRowOrderAndTheChosenList)
{
    OPMLImport dialog(U({"First", "Second"}),
                      U({"http://127.0.0.1:9/a", "http://127.0.0.1:9/b", "http://127.0.0.1:9/c"}),
                      U({"A", "B", "C"}), U({"", "About B", ""}), m_parent);
    wxListCtrl* rows = dialog.GetFeedList();
    ASSERT_EQ(rows->GetItemCount(), 3);
    EXPECT_EQ(rows->GetItemText(1, OPMLImport::kDescriptionColumn), "About B");
    EXPECT_EQ(RunModal(dialog, {[](wxDialog& shown) { Press(shown, OPMLImport::kSelectAll); },
                                [rows](wxDialog& shown)
                                {
                                    rows->CheckItem(1, false);
                                    auto* lists =
                                        wxDynamicCast(shown.FindWindow(OPMLImport::kListChoice), wxChoice);
                                    lists->SetSelection(1);
                                    Press(shown, wxID_OK);
                                }}),
              wxID_OK);
    EXPECT_EQ(S(dialog.checkedLinks),
              (std::vector<std::string>{"http://127.0.0.1:9/a", "http://127.0.0.1:9/c"}));
    EXPECT_EQ(dialog.GetSelectedList(), 1);

    EXPECT_EQ(RunModal(dialog, {[](wxDialog& shown) { Press(shown, OPMLImport::kUnselectAll); },
                                [](wxDialog& shown) { Press(shown, wxID_OK); }}),
              wxID_OK);
    EXPECT_TRUE(dialog.checkedLinks.empty());

    // Vectors of different lengths give no rows.
    OPMLImport uneven(U({"First"}), U({"http://127.0.0.1:9/a"}), U({}), U({}), m_parent);
    EXPECT_EQ(uneven.GetFeedList()->GetItemCount(), 0);
}

// The caption names the file's title only when its head has one.
TEST_F(OpmlDialogsTest, TheImportCaptionAddsTheHeadTitleOnlyWhenThereIsOne)
{
    testsupport::TempDir dir;
    const std::string body = R"(<body><outline type="rss" text="A" xmlUrl="http://127.0.0.1:9/a"/></body>)";
    const std::pair<std::string, const char*> files[] = {
        {"<opml><head><title> Mine </title></head>" + body + "</opml>", "Import RSS Feeds : Mine"},
        {"<opml><head><title></title></head>" + body + "</opml>", "Import RSS Feeds"},
        {"<opml><head/>" + body + "</opml>", "Import RSS Feeds"},
        {"<opml>" + body + "</opml>", "Import RSS Feeds"},
    };
    for (const auto& [text, caption] : files)
    {
        OPMLImport dialog(U({"First"}), uString(dir.write("in.opml", text).c_str()), m_parent);
        EXPECT_EQ(dialog.GetFeedList()->GetItemCount(), 1) << text;
        EXPECT_EQ(dialog.GetTitle().utf8_string(), caption) << text;
    }
}

// The check box of a row stands in the first column: a row without a title
// shows the box there and nothing in the title column.
TEST_F(OpmlDialogsTest, TheCheckBoxesStayInTheirOwnColumn)
{
    OPMLImport dialog(U({"First"}), U({"http://127.0.0.1:9/a"}), U({""}), U({""}), m_parent);
    wxListCtrl* rows = dialog.GetFeedList();
    auto drawn = [](const wxImage& shot, const wxRect& area)
    {
        int count = 0;
        for (int y = area.y; y < area.GetBottom(); ++y)
            for (int x = area.x; x < area.GetRight(); ++x)
                count += std::min({shot.GetRed(x, y), shot.GetGreen(x, y), shot.GetBlue(x, y)}) < 200 ? 1 : 0;
        return count;
    };
    int inBoxColumn = -1;
    int inTitleColumn = -1;
    RunModal(dialog, {[&](wxDialog&)
                      {
                          ASSERT_TRUE(guitest::RunEventsUntil([&] { return rows->IsShownOnScreen(); }));
                          wxRect row;
                          ASSERT_TRUE(rows->GetItemRect(0, row));
                          const wxImage shot = guitest::TakeScreenshot("opml-import-check-boxes");
                          ASSERT_TRUE(shot.IsOk());
                          const wxPoint start = rows->ClientToScreen(wxPoint(0, row.y));
                          const int boxColumn = rows->GetColumnWidth(0);
                          inBoxColumn = drawn(shot, wxRect(start.x, start.y, boxColumn, row.height));
                          inTitleColumn = drawn(shot, wxRect(start.x + boxColumn, start.y,
                                                             rows->GetColumnWidth(1), row.height));
                      }});
    EXPECT_GT(inBoxColumn, 0) << "the box shows";
    EXPECT_EQ(inTitleColumn, 0) << "nothing of it reaches the titles";
}

// The caption as shown in German: the dialog's title translated, the file's
// title as the file has it.
TEST_F(OpmlDialogsTest, InGermanTheImportCaptionIsGermanWithTheHeadTitle)
{
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    ui::InstallWindowTranslator();
    testsupport::TempDir dir;
    const std::string body = R"(<body><outline type="rss" text="A" xmlUrl="http://127.0.0.1:9/a"/></body>)";
    const std::pair<std::string, const char*> files[] = {
        {"<opml><head><title>My feeds</title></head>" + body + "</opml>", "RSS-Feeds importieren : My feeds"},
        {"<opml>" + body + "</opml>", "RSS-Feeds importieren"},
    };
    for (const auto& [text, caption] : files)
    {
        OPMLImport dialog(U({"First"}), uString(dir.write("in.opml", text).c_str()), m_parent);
        std::string shown;
        RunModal(dialog, {[&](wxDialog& d) { shown = d.GetTitle().utf8_string(); }});
        EXPECT_EQ(shown, caption) << text;
    }
}
} // namespace
