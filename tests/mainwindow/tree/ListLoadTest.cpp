// A list's feeds read into the tree when the list opens: labels, order and
// site icons as before, through one connection and one statement however many
// feeds the list holds; and one feed relabelled without reading its items.
#include "IcoFixture.h"
#include "SqliteWatch.h"
#include "SubscriptionFrameFixture.h"
#include "feeds/TaskTracker.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace
{
using namespace subscription;
using namespace subscriptiontest;
using sqlitewatch::DatabaseOpenCounter;
using sqlitewatch::StatementRecorder;

constexpr int kFeeds = 40;
constexpr int kFeedImage = 3;
constexpr int kFeedSelectedImage = 4;

struct ShownFeed
{
    std::string label;
    int image = kFeedImage;
    bool operator==(const ShownFeed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownFeed& feed)
{
    return out << '"' << feed.label << "\" image " << feed.image;
}

class ListLoadTest : public SubscriptionFrameTest
{
protected:
    // The closed list "Second" holds kFeeds feeds that are not due: feed i has
    // i % 3 unread items and one read one. Titles alternate in case, so that
    // only an order that ignores case keeps them by number; feeds 0 and 1 have
    // no title (NULL, then empty), feed 7 a quote in its address. Feeds 4 and
    // 5 share a site icon; feed 6's icon file is gone; feed 8 has an icon row
    // but its channel says it has no icon.
    void StartWithFeeds()
    {
        std::string sql = "BEGIN;";
        for (int i = 0; i < kFeeds; ++i)
        {
            const std::string feed = NumberedFeed(i);
            const std::string title =
                i == 0   ? "NULL"
                : i == 1 ? "''"
                         : "'" + std::string(i % 2 ? "feed " : "Feed ") + Number(kFeeds - i) + "'";
            const bool hasIcon = i == 4 || i == 5 || i == 6;
            sql += "INSERT INTO channel (feed, title, ttl, icon) VALUES (" + Quoted(feed) + ", " + title +
                   ", 100000, " + (hasIcon ? "1" : "0") + ");";
            if (hasIcon || i == 8)
                sql += "INSERT INTO icon (feed, link, localfile) VALUES (" + Quoted(feed) +
                       ", 'http://127.0.0.1:9/i', '" + (i == 6 ? "gone.ico" : "shared.ico") + "');";
            for (int n = 0; n <= i % 3; ++n)
                sql += "INSERT INTO item (title, link, feed, readstatus) VALUES ('t', " +
                       Quoted(feed + "/item" + std::to_string(n)) + ", " + Quoted(feed) + ", " +
                       (n == 0 ? "1" : "0") + ");";
        }
        Execute("user0.mdb", sql + "COMMIT;");
        Start();
        guitest::RunEventsUntil(
            [&] { return m_frame->GetRefreshHost()->GetTaskTracker()->RunningTasks() == 0; }, 60000);
        WriteIcon("shared.ico");
        list = Find("Second", kList);
        ASSERT_TRUE(tree->IsPlaceholder(tree->GetFirstChildItem(list))) << "the list starts closed";
    }

    static std::string Number(int n)
    {
        std::string text = std::to_string(n);
        return std::string(3 - text.size(), '0') + text;
    }
    static std::string Counted(const std::string& title, int unread)
    {
        return unread > 0 ? title + " (" + std::to_string(unread) + ")" : title;
    }
    void WriteIcon(const char* name)
    {
        icofixture::BitmapPlan plan;
        plan.bitCount = 32;
        plan.colour = [](int, int) { return icofixture::Rgba{200, 30, 30, 255}; };
        const uFile icons = CPreference::GetInstance()->GetIconsDir();
        std::filesystem::create_directories(icons.getPath().c_str());
        std::ofstream(std::string(icons.getPath().c_str()) + "/" + name, std::ios::binary)
            << icofixture::AsString(icofixture::IconFile({icofixture::BitmapEntry(plan)}));
    }
    std::vector<ShownFeed> Shown() const
    {
        std::vector<ShownFeed> shown;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId feed = tree->GetFirstChild(list, cookie); feed.IsOk();
             feed = tree->GetNextChild(list, cookie))
        {
            shown.push_back({tree->GetLabel(feed).c_str(), tree->GetItemImage(feed)});
            EXPECT_EQ(tree->GetItemImage(feed, wxTreeItemIcon_Selected),
                      shown.back().image == kFeedImage ? kFeedSelectedImage : shown.back().image);
        }
        return shown;
    }
    // Untitled feeds first (by their addresses' stand-in, NULL before empty),
    // then by title without regard to case; the shared icon at the first
    // image after the fixed ones.
    static std::vector<ShownFeed> Expected()
    {
        std::vector<std::pair<std::string, ShownFeed>> feeds;
        for (int i = 0; i < kFeeds; ++i)
        {
            std::string title =
                i < 2 ? std::string() : std::string(i % 2 ? "feed " : "Feed ") + Number(kFeeds - i);
            std::string key = title;
            std::transform(key.begin(), key.end(), key.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            ShownFeed shown{Counted(i < 2 ? NumberedFeed(i) : title, i % 3), kFeedImage};
            if (i == 4 || i == 5)
                shown.image = CMainFrame::kTreeImageCount;
            feeds.emplace_back(key.empty() ? std::to_string(i) : key, shown);
        }
        std::sort(feeds.begin(), feeds.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<ShownFeed> expected;
        for (const auto& feed : feeds)
            expected.push_back(feed.second);
        return expected;
    }

    wxTreeItemId list;
};
} // namespace

TEST_F(ListLoadTest, OpeningAListReadsItsFeedsThroughOneConnectionAndOneStatement)
{
    StartWithFeeds();
    const std::vector<ShownFeed> expected = Expected();
    ASSERT_EQ(expected.front().label, NumberedFeed(0));
    {
        DatabaseOpenCounter opens("user0.mdb");
        StatementRecorder statements("user0.mdb");
        m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(list));
        EXPECT_EQ(opens.Opens(), 1) << "one connection for the whole list";
        const std::vector<std::string> run = statements.Statements();
        EXPECT_EQ(run.size(), 1u) << "one statement for the whole list, not one per feed; the first: "
                                  << (run.empty() ? std::string() : run.front());
    }
    EXPECT_TRUE(tree->IsExpanded(list));
    EXPECT_EQ(Shown(), expected);
    EXPECT_TRUE(m_messages->texts.empty());

    // Read again at the next start, the same.
    Restart();
    list = Find("Second", kList);
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(list));
    EXPECT_EQ(Shown(), expected);
}

// A list whose feeds cannot be read says why once, and shows none.
TEST_F(ListLoadTest, AListThatCannotBeReadSaysSoOnce)
{
    StartWithFeeds();
    Execute("user0.mdb", "DROP TABLE item");
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(list));
    EXPECT_EQ(tree->GetChildrenCount(list, false), 0u);
    EXPECT_EQ(m_messages->texts.size(), 1u);
}

// Reading an item or marking a feed read relabels that feed: its count, and
// the title a first fetch gave it, come without its items.
TEST_F(ListLoadTest, OneFeedIsRelabelledWithoutReadingItsItems)
{
    StartWithFeeds();
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(list));
    wxTreeItemId untitled = tree->GetFirstChildItem(list);
    ASSERT_EQ(tree->GetLabel(untitled), uString(NumberedFeed(0).c_str()));

    Execute("user0.mdb", "UPDATE channel SET title='Named now' WHERE feed=" + Quoted(NumberedFeed(0)) + ";" +
                             "INSERT INTO item (title, link, feed) VALUES ('n', 'http://127.0.0.1:9/new', " +
                             Quoted(NumberedFeed(0)) + ");");
    {
        StatementRecorder statements("user0.mdb");
        m_frame->RefreshFeedLabel(uString("user0.mdb"), untitled);
        // The count may read the unread rows' status, nothing more of them.
        for (const std::string& sql : statements.Statements())
            EXPECT_TRUE(sql.find(" item ") == std::string::npos || sql.find("count(") != std::string::npos ||
                        sql.starts_with("select readstatus from item "))
                << "only counted, never read: " << sql;
    }
    EXPECT_EQ(tree->GetLabel(untitled), uString("Named now (1)"));

    // A title a label had already gives way as well: the stored title is
    // the one the list shows when it is read at the next start.
    Execute("user0.mdb", "UPDATE channel SET title='Renamed behind' WHERE feed=" + Quoted(NumberedFeed(0)));
    m_frame->RefreshFeedLabel(uString("user0.mdb"), untitled);
    EXPECT_EQ(tree->GetLabel(untitled), uString("Renamed behind (1)"));
}
